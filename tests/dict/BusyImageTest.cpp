#include <chrono>
#include <set>
#include <thread>

#include "MainFormTestSupport.h"
#include "platform/drivers/headless/Headless.h"

namespace {

// A hash of the window's pixels under the busy image.
uint64_t BusyPixels(THanakumoForm& form) {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  if (!ReadWindowPixels(form.Handle(), true, &w, &h, &px)) return 0;
  const TRect r = form.imgLoading->BoundsRect();
  uint64_t hash = 1469598103934665603ull;
  for (int y = r.top; y < r.bottom && y < h; ++y)
    for (int x = r.left; x < r.right && x < w; ++x) hash = (hash ^ px[static_cast<size_t>(y * w + x)]) * 1099511628211ull;
  return hash;
}

}  // namespace

TEST_F(MainFormTest, BusyImageTurnsDuringALongSearchAndHidesAfter) {
  WideString big;
  for (int i = 0; i < 40; ++i) big += kTestDictionary;
  DictionaryText = std::make_shared<const WideString>(big);
  std::set<uint64_t> looks;
  bool shownThroughout = true;
  auto classify = SearchEngine->OnMatch;
  SearchEngine->OnMatch = [&](int64_t start, int64_t stop) {
    shownThroughout = shownThroughout && form->imgLoading->Visible();
    HeadlessAdvance(40);  // past the next frame's delay
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // the painter hands its frame over
    classify(start, stop);
    looks.insert(BusyPixels(*form));
  };
  Search(u"water");
  EXPECT_TRUE(shownThroughout);
  EXPECT_GE(looks.size(), 3u);
  EXPECT_FALSE(form->imgLoading->Visible());
}
