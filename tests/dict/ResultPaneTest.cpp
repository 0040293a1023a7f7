#include "MainFormTestSupport.h"

namespace {

// The pane's pixels as the window shows them.
struct PanePixels {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  POINT origin{0, 0};
  uint32_t At(int x, int y) const {
    return px[static_cast<size_t>((origin.y + y) * w + origin.x + x)] & 0xFFFFFF;
  }
  bool AllWhite(const TRect& r) const {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (At(x, y) != 0xFFFFFF) return false;
    return true;
  }
};

}  // namespace

class ResultPaneTest : public MainFormTest {
 protected:
  PanePixels Show(const WideString& query) {
    Search(query);
    form->Update();
    PanePixels p;
    EXPECT_TRUE(ReadWindowPixels(form->Handle(), true, &p.w, &p.h, &p.px));
    p.origin = form->ScreenToClient(form->pbResult->ClientToScreen(POINT{0, 0}));
    return p;
  }
  int W() const { return form->pbResult->Width(); }
  int H() const { return form->pbResult->Height(); }
};

TEST_F(ResultPaneTest, NothingSelectedPaintsWhite) {
  PanePixels p = Show(u"nothingatall");
  EXPECT_TRUE(p.AllWhite(TRect(0, 0, W(), H())));
}

TEST_F(ResultPaneTest, CommonWordShowsTheBannerAndLegend) {
  PanePixels p = Show(u"Japan");  // 日本: common, marker (n)
  EXPECT_FALSE(p.AllWhite(TRect(15, 10, W() - 15, 25)));   // banner
  EXPECT_FALSE(p.AllWhite(TRect(10, 30, W() - 10, 80)));   // headword
  EXPECT_FALSE(p.AllWhite(TRect(10, 90, W() - 10, 110)));  // reading
  EXPECT_EQ(p.At(W() / 2, H() - 43), 0xCDCDCDu);           // legend rule
}

TEST_F(ResultPaneTest, PlainEntryHasNoBannerNorReading) {
  PanePixels p = Show(u"cold");  // ウォーター: no reading, not common
  EXPECT_TRUE(p.AllWhite(TRect(15, 10, W() - 15, 25)));
  EXPECT_TRUE(p.AllWhite(TRect(10, 90, W() - 10, 110)));
  EXPECT_FALSE(p.AllWhite(TRect(10, 120, W() - 10, 320)));
}

// An entry of millions of units: the pane shows what the entry's start
// gives (its glosses' count and its final "(P)" still count), and holds the
// line where the dictionary has it instead of a copy.
TEST_F(ResultPaneTest, AHugeEntryShowsItsStartWithoutACopy) {
  WideString glosses;
  for (int i = 0; glosses.size() < 3000000; ++i) glosses += u"/(n) a gloss of words " + WideString(1, u'a' + i % 26);
  auto entry = [&](size_t units) { return u"長い [ながい] /long" + glosses.substr(0, units) + u"/(P)/\r\n"; };
  std::vector<PanePixels> panes;
  for (size_t units : {size_t{20000}, glosses.size()}) {
    DictionaryText = std::make_shared<const WideString>(entry(units));
    panes.push_back(Show(u"long"));
    ASSERT_FALSE(form->CurrentLine().empty());
    EXPECT_GE(form->CurrentLine().data(), DictionaryText->data());
    EXPECT_LE(form->CurrentLine().data() + form->CurrentLine().size(), DictionaryText->data() + DictionaryText->size());
  }
  EXPECT_FALSE(panes[1].AllWhite(TRect(15, 10, W() - 15, 25)));  // the banner of a common word
  size_t differ = 0;
  for (int y = 0; y < H(); ++y)
    for (int x = 0; x < W(); ++x) differ += panes[0].At(x, y) != panes[1].At(x, y);
  EXPECT_EQ(differ, 0u);
}
