// Icons from PNG resources: the alpha survives, the handle lives with the
// icon, and the program's icon reaches its windows.
#include <gtest/gtest.h>

#include "PngTestUtil.h"
#include "classlib/Forms.h"
#include "platform/Resources.h"
#include "platform/Windows.h"
#include "png/PngObject.h"

namespace {

// Straight BGRA as icons hold it, from RGBA bytes.
uint32_t Bgra(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  return (uint32_t{a} << 24) | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}

std::vector<uint32_t> IconPixels(HICON icon, int* w = nullptr, int* h = nullptr) {
  std::vector<uint32_t> px;
  int iw = 0, ih = 0;
  EXPECT_TRUE(GetIconPixels(icon, &iw, &ih, &px));
  if (w) *w = iw;
  if (h) *h = ih;
  return px;
}

// A 3 x 2 RGBA image: opaque, half and fully transparent pixels.
const Bytes& SmallPng() {
  static const Bytes png = SimplePng(3, 2, 8, 6,
                                     {0, 255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0,  //
                                      0, 10, 20, 30, 255, 40, 50, 60, 1, 70, 80, 90, 200});
  return png;
}

class PngIconTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterPNGPicture();
    RegisterResource("PNG", "TESTICON", LANG_NEUTRAL_ID, SmallPng().data(), SmallPng().size());
    static const Bytes card = ReadFileBytes(HK_SOURCE_DIR "/assets/card/images/icon24.png");
    RegisterResource("PNG", "CARDICON", LANG_NEUTRAL_ID, card.data(), card.size());
    RegisterResource("PNG", "MAINICON", LANG_NEUTRAL_ID, SmallPng().data(), SmallPng().size());
  }
  void TearDown() override { DoneApplication(); }
};

}  // namespace

TEST_F(PngIconTest, APngResourceBecomesAnIconHandleWithItsAlpha) {
  TIcon icon;
  icon.LoadFromResourceName(nullptr, "TESTICON");
  EXPECT_EQ(icon.Width(), 3);
  HICON h = icon.Handle();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(icon.Handle(), h);  // made once
  int w = 0, ht = 0;
  EXPECT_EQ(IconPixels(h, &w, &ht), (std::vector<uint32_t>{Bgra(255, 0, 0, 255), Bgra(0, 255, 0, 128), Bgra(0, 0, 255, 0),
                                                            Bgra(10, 20, 30, 255), Bgra(40, 50, 60, 1),
                                                            Bgra(70, 80, 90, 200)}));
  EXPECT_EQ(w, 3);
  EXPECT_EQ(ht, 2);

  // The program's real icon, against libpng's reading of the file.
  TIcon card;
  card.LoadFromResourceName(nullptr, "CARDICON");
  LibpngImage ref;
  ASSERT_TRUE(LibpngDecode(ReadFileBytes(HK_SOURCE_DIR "/assets/card/images/icon24.png"), ref));
  ASSERT_EQ(ref.Channels, 4);
  auto px = IconPixels(card.Handle(), &w, &ht);
  ASSERT_EQ(w, static_cast<int>(ref.Width));
  size_t seeThrough = 0;
  for (uint32_t y = 0; y < ref.Height; ++y)
    for (uint32_t x = 0; x < ref.Width; ++x) {
      const uint8_t* s = &ref.Rows[y][x * 4];
      EXPECT_EQ(px[y * ref.Width + x], Bgra(s[0], s[1], s[2], s[3])) << x << "," << y;
      seeThrough += s[3] == 0;
    }
  EXPECT_GT(seeThrough, 0u);  // the test means something: the icon has a shape

  EXPECT_THROW(icon.LoadFromResourceName(nullptr, "NOSUCHICON"), EResNotFound);
}

TEST_F(PngIconTest, TheHandleLivesAsLongAsAnIconHoldsItsImage) {
  auto alive = [](HICON h) {
    std::vector<uint32_t> px;
    int w, h2;
    return GetIconPixels(h, &w, &h2, &px);
  };
  HICON first;
  {
    TIcon icon;
    icon.LoadFromResourceName(nullptr, "TESTICON");
    first = icon.Handle();
    {
      // A copy shares the handle; a new image gets a new one, and the
      // shared one stays while the copy holds it.
      TIcon copy;
      copy.Assign(&icon);
      EXPECT_EQ(copy.Handle(), first);
      icon.LoadFromResourceName(nullptr, "CARDICON");
      EXPECT_NE(icon.Handle(), first);
      EXPECT_TRUE(alive(first));
      EXPECT_EQ(IconPixels(copy.Handle()).size(), 6u);
    }
    EXPECT_FALSE(alive(first));
    first = icon.Handle();
    EXPECT_TRUE(alive(first));
    // A borrowed handle stays its owner's.
    TIcon borrowed;
    borrowed.SetHandle(LoadIconA(nullptr, IDI_APPLICATION));
    EXPECT_EQ(borrowed.Width(), 32);
  }
  EXPECT_FALSE(alive(first));
  EXPECT_TRUE(alive(LoadIconA(nullptr, IDI_APPLICATION)));
}

TEST_F(PngIconTest, TheApplicationsIconIsEveryFormsWindowIcon) {
  // The program's MAINICON, from its start.
  Application->Initialize();
  EXPECT_EQ(Application->Icon().Width(), 3);
  auto* before = new TForm(Application);
  before->HandleNeeded();
  Application->Icon().LoadFromResourceName(nullptr, "CARDICON");
  HICON icon = Application->Icon().Handle();
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(before->Handle(), WM_GETICON, ICON_BIG, 0)), icon);
  auto* after = new TForm(Application);
  after->HandleNeeded();
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(after->Handle(), WM_GETICON, ICON_BIG, 0)), icon);
  // The tray takes a copy, as the card's tray icon does.
  TIcon tray;
  tray.Assign(&Application->Icon());
  EXPECT_EQ(tray.Handle(), icon);
}
