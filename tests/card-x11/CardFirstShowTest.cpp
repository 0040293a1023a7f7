// The card's first show at start, read back from the moment its window is
// viewable: it never shows pixels that are not its own, and with a
// compositing manager its first fade-in is seen frame by frame.
#include <tuple>

#include "tests/card-x11/CardDisplayFixture.h"

// Xlib's macros clash with GoogleTest's names: after the fixture.
#include <X11/extensions/shape.h>

namespace {

using hktest::TWindowManager;

constexpr int kAlpha = 200;
// What the card's fade ends at.
constexpr int kShownAlpha = kAlpha - 1;

class CardFirstShowTest : public hktest::CardOnTheDisplayTest,
                          public ::testing::WithParamInterface<std::tuple<TWindowManager, bool>> {
 protected:
  TWindowManager WindowManager() const override { return std::get<0>(GetParam()); }
  bool Composited() const { return std::get<1>(GetParam()); }

  // One readback: the window's own pixels (a compositor keeps them apart
  // from the screen) or the screen over the window.
  struct TFrame {
    int Width = 0, Height = 0;
    std::vector<uint32_t> Pixels;
    bool operator==(const TFrame& o) const { return Width == o.Width && Height == o.Height && Pixels == o.Pixels; }
    uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y * Width + x)]; }
    uint32_t Centre() const { return At(Width / 2, Height / 2); }
  };
  bool Read(Window from, int x, int y, int width, int height, TFrame* frame) {
    XImage* img =
        XGetImage(D, from, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (img == nullptr) return false;
    frame->Width = width;
    frame->Height = height;
    frame->Pixels.resize(static_cast<size_t>(width * height));
    for (int j = 0; j < height; ++j)
      for (int i = 0; i < width; ++i)
        frame->Pixels[static_cast<size_t>(j * width + i)] = static_cast<uint32_t>(XGetPixel(img, i, j));
    XDestroyImage(img);
    return true;
  }
  // The card's 32-bit window once it exists (an earlier window of the same
  // name may come first).
  Window CardWindow() {
    Window w = FindTop("Card");
    return w != 0 && Attributes(w).depth == 32 ? w : 0;
  }
  // The window's bounding shape, a flag a pixel.
  std::vector<bool> BoundingShape(Window w, int width, int height) {
    std::vector<bool> in(static_cast<size_t>(width * height), false);
    int count = 0, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(D, w, ShapeBounding, &count, &ordering);
    for (int i = 0; i < count; ++i)
      for (int y = std::max(0, int{rects[i].y}); y < std::min(height, rects[i].y + rects[i].height); ++y)
        for (int x = std::max(0, int{rects[i].x}); x < std::min(width, rects[i].x + rects[i].width); ++x)
          in[static_cast<size_t>(y * width + x)] = true;
    if (rects) XFree(rects);
    return in;
  }
};

TEST_P(CardFirstShowTest, TheFirstCardShowsOnlyItsOwnPixelsAndFadesIn) {
  WriteConfig("FirstRun=0\nAlpha=" + std::to_string(kAlpha) + "\nRefreshTime=60000\n");
  Window root = DefaultRootWindow(D);
  int cx = 0, cy = 0, width = 0, height = 0;
  if (Composited()) {
    ASSERT_NO_FATAL_FAILURE(StartCompositor("xcompmgr"));
  }
  ASSERT_NO_FATAL_FAILURE(StartTray());
  // The screen before the card: the desktop, as the tray draws it.
  TFrame desktop;
  const int screenWidth = DisplayWidth(D, DefaultScreen(D)), screenHeight = DisplayHeight(D, DefaultScreen(D));
  ASSERT_TRUE(Read(root, 0, 0, screenWidth, screenHeight, &desktop));
  auto desktopAt = [&](int x, int y) {
    return desktop.At(std::clamp(cx + x, 0, screenWidth - 1), std::clamp(cy + y, 0, screenHeight - 1)) & 0xFFFFFF;
  };
  StartCard();

  // As fast as we can from the first map; only frames that differ from the
  // one before are kept.
  std::vector<TFrame> frames;
  Window card = 0;
  auto shown = [&] {
    const TFrame& last = frames.back();
    if (Composited()) return static_cast<int>(last.Centre() >> 24) == kShownAlpha;
    return (last.Centre() & 0xFFFFFF) != desktopAt(width / 2, height / 2);
  };
  const auto deadline = hktest::Clock::now() + std::chrono::seconds(30);
  auto settled = deadline;
  while (hktest::Clock::now() < std::min(deadline, settled)) {
    if (card == 0) {
      card = CardWindow();
      continue;
    }
    if (width == 0) {
      if (!Viewable(card)) continue;
      XWindowAttributes a = Attributes(card);
      width = a.width;
      height = a.height;
      std::tie(cx, cy) = Origin(card);
    }
    TFrame frame;
    const bool read =
        Composited() ? Read(card, 0, 0, width, height, &frame) : Read(root, cx, cy, width, height, &frame);
    if (!read) continue;
    if (frames.empty() || !(frames.back() == frame)) frames.push_back(std::move(frame));
    // A little more once the card is shown, in case anything follows.
    if (settled == deadline && shown()) settled = hktest::Clock::now() + std::chrono::milliseconds(300);
  }
  ASSERT_NE(width, 0) << "the card was never viewable";
  ASSERT_FALSE(frames.empty());
  ASSERT_TRUE(shown()) << "the card never reached its shown state (" << frames.size() << " frames)";
  EXPECT_EQ(Attributes(card).width, width) << "the card changed its size while shown";
  const TFrame& last = frames.back();

  if (Composited()) {
    // The last frame is the card's image at its opacity: where that is below
    // the centre's, the image itself is not opaque (margin, shadow, corners).
    const uint32_t full = last.Centre() >> 24;
    for (size_t f = 0; f < frames.size(); ++f) {
      int opaque = 0;
      for (size_t i = 0; i < last.Pixels.size(); ++i)
        if ((last.Pixels[i] >> 24) < full && (frames[f].Pixels[i] >> 24) == 255) ++opaque;
      EXPECT_EQ(opaque, 0) << "frame " << f << " of " << frames.size() << ": " << opaque
                           << " pixels opaque where the card is not (first pixel " << std::hex << frames[f].Pixels[0]
                           << ")";
      if (opaque != 0) break;
    }
    // Frame by frame: the centre passes through partial opacities first.
    size_t partial = 0, seen = 0;
    for (const TFrame& f : frames) {
      const int a = static_cast<int>(f.Centre() >> 24);
      if (a == kShownAlpha) break;
      if (a > 0 && a < kShownAlpha) ++partial;
      ++seen;
    }
    EXPECT_GT(partial, 0u) << "no partial opacity in the " << seen << " frames before the card was shown at "
                           << kShownAlpha << "; centre of the first frame " << std::hex << frames.front().Centre();
  } else {
    // Nothing to fade with: each pixel on the screen is the desktop or the
    // card's own, and outside the card's shape always the desktop.
    const std::vector<bool> shape = BoundingShape(card, width, height);
    ASSERT_TRUE(shape[static_cast<size_t>((height / 2) * width + width / 2)]);
    ASSERT_FALSE(shape[0]);
    int hidden = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (!shape[static_cast<size_t>(y * width + x)] && (last.At(x, y) & 0xFFFFFF) != desktopAt(x, y)) ++hidden;
    EXPECT_EQ(hidden, 0) << "the card hides the desktop outside its shape";
    for (size_t f = 0; f < frames.size(); ++f) {
      int foreign = 0;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const uint32_t p = frames[f].At(x, y) & 0xFFFFFF;
          if (p != desktopAt(x, y) && p != (last.At(x, y) & 0xFFFFFF)) ++foreign;
        }
      EXPECT_EQ(foreign, 0) << "frame " << f << " of " << frames.size() << " shows " << foreign
                            << " pixels that are neither the desktop nor the card's (centre " << std::hex
                            << frames[f].Centre() << ")";
      if (foreign != 0) break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Setups, CardFirstShowTest,
                         ::testing::Combine(::testing::Values(TWindowManager::NoWindowManager, TWindowManager::Openbox),
                                            ::testing::Values(false, true)),
                         [](const auto& info) {
                           return std::string(hktest::WindowManagerName(std::get<0>(info.param))) +
                                  (std::get<1>(info.param) ? "Composited" : "NotComposited");
                         });

}  // namespace
