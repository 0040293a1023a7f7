// Dragging the card as a hand does, quickly, while it refreshes on a short
// period under a compositing manager: each drag ends at the button's
// release, the card lies where the pointer let it go, and the tray icon's
// menu opens afterwards without the card following the pointer.
#include <tuple>

#include "tests/card-x11/CardDisplayFixture.h"

namespace {

using hktest::kExitY;
using hktest::TWindowManager;

constexpr int kAlpha = 200;
constexpr int kShownAlpha = kAlpha - 1;

class CardDragTest : public hktest::CardOnTheDisplayTest,
                     public ::testing::WithParamInterface<std::tuple<TWindowManager, const char*>> {
 protected:
  Window CardWindow = 0;

  TWindowManager WindowManager() const override { return std::get<0>(GetParam()); }

  // The card's opacity as the compositor is given it: its centre's alpha.
  int CentreAlpha() {
    if (!Viewable(CardWindow)) return 0;
    XWindowAttributes a = Attributes(CardWindow);
    XImage* img = XGetImage(D, CardWindow, a.width / 2, a.height / 2, 1, 1, AllPlanes, ZPixmap);
    if (img == nullptr) return 0;
    const int alpha = static_cast<int>(static_cast<uint32_t>(XGetPixel(img, 0, 0)) >> 24);
    XDestroyImage(img);
    return alpha;
  }
  // The card's anchor: its centre on the screen.
  std::pair<int, int> Centre() {
    auto [x, y] = Origin(CardWindow);
    XWindowAttributes a = Attributes(CardWindow);
    return {x + a.width / 2, y + a.height / 2};
  }
  // Whether the card was unmapped since the last look (its StructureNotify
  // events selected).
  bool CardHidden() {
    XSync(D, False);
    bool hidden = false;
    while (XPending(D) > 0) {
      XEvent ev;
      XNextEvent(D, &ev);
      hidden = hidden || (ev.type == UnmapNotify && ev.xunmap.window == CardWindow);
    }
    return hidden;
  }
  // A drag of the left button from one point to another over `ms`, in
  // motions every 20 ms.
  void Drag(std::pair<int, int> from, std::pair<int, int> to, int ms) {
    const int screen = DefaultScreen(D);
    XTestFakeMotionEvent(D, screen, from.first, from.second, CurrentTime);
    XTestFakeButtonEvent(D, Button1, True, CurrentTime);
    XFlush(D);
    const int steps = ms / 20;
    for (int i = 1; i <= steps; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      XTestFakeMotionEvent(D, screen, from.first + (to.first - from.first) * i / steps,
                           from.second + (to.second - from.second) * i / steps, CurrentTime);
      XFlush(D);
    }
    XTestFakeButtonEvent(D, Button1, False, CurrentTime);
    XFlush(D);
  }
};

TEST_P(CardDragTest, AQuickDragDuringARefreshEndsAtTheReleaseAndTheTrayMenuOpensAfterwards) {
  // One entry: every refresh draws a card of the same size about the same
  // centre, so the anchor is the card's centre at every moment.
  std::ofstream(Dir / "dict.txt") << "水 [みず] /(n) water/\n";
  WriteConfig("FirstRun=0\nAlpha=" + std::to_string(kAlpha) + "\nRefreshTime=1000\n");
  ASSERT_NO_FATAL_FAILURE(StartCompositor(std::get<1>(GetParam())));
  ASSERT_NO_FATAL_FAILURE(StartTray());
  StartCard();
  ASSERT_TRUE(WaitFor([&] { return (CardWindow = FindTop("Card")) != 0 && Viewable(CardWindow); }, 30)) << "no card";
  Window icon = 0;
  ASSERT_TRUE(WaitFor([&] { return (icon = DockedIcon()) != 0; }, 10)) << "the icon did not dock";

  std::pair<int, int> released{};
  int metARefresh = 0;
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE("drag " + std::to_string(round));
    // From the end of a fade-in on, a little later each time: the drags
    // meet the next refresh's fade-out, its hidden card and its fade-in.
    ASSERT_TRUE(WaitFor([&] { return CentreAlpha() == kShownAlpha; }, 10)) << "the card did not fade in";
    std::this_thread::sleep_for(std::chrono::milliseconds(300 + 60 * round));
    // A press on a card that is there to see.
    ASSERT_TRUE(WaitFor([&] { return CentreAlpha() > 40; }, 10));
    const auto from = Centre();
    released = round % 2 == 0 ? std::pair{from.first + 50, from.second + 136}
                              : std::pair{from.first - 50, from.second - 136};
    XSelectInput(D, CardWindow, StructureNotifyMask);
    CardHidden();
    Drag(from, released, 500);
    if (CardHidden()) ++metARefresh;
    EXPECT_TRUE(WaitFor([&] { return Viewable(CardWindow) && Centre() == released; }, 10))
        << "the card's centre is at " << Centre().first << ", " << Centre().second << ", not at the release point "
        << released.first << ", " << released.second;
    // The pointer goes on without the button: the card stays.
    XTestFakeMotionEvent(D, DefaultScreen(D), released.first + 40, released.second - 150, CurrentTime);
    XTestFakeMotionEvent(D, DefaultScreen(D), released.first - 30, released.second + 10, CurrentTime);
    XSync(D, False);
    ASSERT_TRUE(WaitForNewCard(CardWindow, 10));
    ASSERT_EQ(Centre(), released) << "the card followed the pointer after the release";
  }

  EXPECT_GE(metARefresh, 4) << "too few drags met a refresh to say anything";

  // The tray icon's menu opens at a right click, and the card stays where
  // it was let go, there and in config.ini.
  Window menu = OpenTrayMenu(icon);
  ASSERT_NE(menu, 0u) << "no menu; the card's centre is at " << Centre().first << ", " << Centre().second;
  EXPECT_EQ(Centre(), released) << "the card moved to the tray icon";
  ChooseItem(menu, kExitY);
  ASSERT_TRUE(WaitFor([&] { return Exited(); }, 10)) << "Exit did not end the program";
  const std::string config = ReadConfig();
  EXPECT_NE(config.find("ResizingPointX=" + std::to_string(released.first) + "\n"), std::string::npos) << config;
  EXPECT_NE(config.find("ResizingPointY=" + std::to_string(released.second) + "\n"), std::string::npos) << config;
}

INSTANTIATE_TEST_SUITE_P(Desktops, CardDragTest,
                         ::testing::Values(std::tuple{TWindowManager::NoWindowManager, "xcompmgr"},
                                           std::tuple{TWindowManager::Openbox, "picom"}),
                         [](const auto& info) {
                           return std::string(hktest::WindowManagerName(std::get<0>(info.param))) +
                                  std::get<1>(info.param);
                         });

}  // namespace
