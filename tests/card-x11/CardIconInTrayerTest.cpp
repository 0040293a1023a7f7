// The card's icon docked in trayer, Debian's standalone tray: trayer's
// sockets size an icon from its size hints (1 pixel wide without them), so
// the icon asks for a square of the tray's height and draws its image
// scaled to the size it is given.
#include "tests/card-x11/CardDisplayFixture.h"

#include <cstdio>

#include "tests/card-x11/OtherDesktops.h"

namespace {

// The program's icon as ImageMagick scales it to side x side (each pixel
// the one under its centre), straight RGBA: of its sizes (16 and 24) the
// smallest that fills the square, else the largest.
std::vector<uint8_t> SampledIcon(int side) {
  const std::string file = std::string(HK_CARD_IMAGES) + (side <= 16 ? "/icon16.png" : "/icon24.png");
  const std::string command =
      "convert '" + file + "' -filter point -resize " + std::to_string(side) + "x" + std::to_string(side) + "! rgba:-";
  std::vector<uint8_t> out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  uint8_t buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.insert(out.end(), buf, buf + n);
  pclose(pipe);
  return out;
}

// trayer's height: its default, and a taller one.
class CardIconInTrayerTest : public hktest::CardUnderAWindowManagerTest, public ::testing::WithParamInterface<int> {
 protected:
  // Why the icon window's pixels are not the icon over the tray's
  // background; empty when they are.
  std::string Mismatch(Window icon) {
    int w = 0, h = 0;
    std::vector<uint32_t> shown = Pixels(icon, &w, &h);
    const int side = std::min(w, h), left = (w - side) / 2, top = (h - side) / 2;
    std::vector<uint8_t> image = SampledIcon(side);
    if (image.size() != static_cast<size_t>(side) * side * 4 || shown.size() != static_cast<size_t>(w) * h)
      return "no image to compare (" + std::to_string(w) + "x" + std::to_string(h) + ")";
    // The icon's corner is clear: the tray's background shows there.
    if (image[3] != 0) return "the icon's corner is not clear";
    const uint32_t background = shown[static_cast<size_t>(top) * w + left];
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        const uint8_t* p = &image[(static_cast<size_t>(y) * side + x) * 4];
        const uint32_t got = shown[static_cast<size_t>(top + y) * w + left + x];
        for (int channel = 0; channel < 3; ++channel) {
          const int shift = 16 - 8 * channel;  // red, green, blue
          const int bg = (background >> shift) & 0xFF;
          const int want = (p[channel] * p[3] + bg * (255 - p[3]) + 127) / 255;
          const int have = static_cast<int>((got >> shift) & 0xFF);
          if (std::abs(want - have) > 2) {
            char said[160];
            std::snprintf(said, sizeof said, "at %d,%d of %dx%d: 0x%06x where 0x%02x%02x%02x alpha %d over 0x%06x",
                          x, y, side, side, got & 0xFFFFFF, p[0], p[1], p[2], p[3], background & 0xFFFFFF);
            return said;
          }
        }
      }
    return "";
  }
};

TEST_P(CardIconInTrayerTest, TheIconIsASquareOfTheTraysHeightAndShowsItsImage) {
  ASSERT_EQ(Server.StartTray({"trayer", "--edge", "bottom", "--height", std::to_string(GetParam())}), "");
  WriteConfig("FirstRun=0\nAlpha=255\nRefreshTime=600000\n");
  StartCard();
  Window icon = 0;
  ASSERT_TRUE(WaitFor([&] { return (icon = hktest::EmbeddedIconOf(D, Card)) != 0; }, 30))
      << "trayer holds no icon of the card";
  // The socket trayer made for the icon is as high as the tray holds icons.
  auto slotHeight = [&] {
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(D, icon, &root, &parent, &children, &n)) return 0;
    if (children) XFree(children);
    return Attributes(parent).height;
  };
  std::string mismatch = "not looked at";
  const bool shown = WaitFor(
      [&] {
        XWindowAttributes a = Attributes(icon);
        if (a.width != a.height || a.height != slotHeight()) return false;
        mismatch = Mismatch(icon);
        return mismatch.empty();
      },
      10);
  XWindowAttributes a = Attributes(icon);
  EXPECT_GE(a.width, 16);
  EXPECT_GE(a.height, 16);
  EXPECT_TRUE(shown) << "the icon is " << a.width << "x" << a.height << " in a slot " << slotHeight()
                     << " high; its pixels: " << mismatch;
}

INSTANTIATE_TEST_SUITE_P(TrayHeights, CardIconInTrayerTest, ::testing::Values(26, 40),
                         [](const auto& info) { return "Height" + std::to_string(info.param); });

}  // namespace
