// Dragging the card as a hand does, quickly, while it refreshes on a short
// period under a compositing manager: each drag ends at the button's
// release, the card lies where the pointer let it go, and the tray icon's
// menu opens afterwards without the card following the pointer.
#include <tuple>

#include "tests/card-x11/CardDisplayFixture.h"

// Xlib's macros clash with GoogleTest's names: after the fixture.
#include <X11/extensions/shape.h>

namespace {

using hktest::kExitY;
using hktest::TWindowManager;

constexpr int kAlpha = 200;
constexpr int kShownAlpha = kAlpha - 1;

// A drag of the left button from one point to another over `ms`, in
// motions every 20 ms; the display's serial of the press.
unsigned long Drag(Display* d, std::pair<int, int> from, std::pair<int, int> to, int ms) {
  const int screen = DefaultScreen(d);
  XTestFakeMotionEvent(d, screen, from.first, from.second, CurrentTime);
  const unsigned long press = NextRequest(d);
  XTestFakeButtonEvent(d, Button1, True, CurrentTime);
  XFlush(d);
  const int steps = ms / 20;
  for (int i = 1; i <= steps; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    XTestFakeMotionEvent(d, screen, from.first + (to.first - from.first) * i / steps,
                         from.second + (to.second - from.second) * i / steps, CurrentTime);
    XFlush(d);
  }
  XTestFakeButtonEvent(d, Button1, False, CurrentTime);
  XFlush(d);
  return press;
}

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
    // A tick that comes during a drag waits for the drop: a drag meets a
    // refresh when it begins on a card fading out. From the start of the
    // next fade-out on, a little later each time, the drags hold the card
    // through the fade-out, the hidden card and the fade-in.
    ASSERT_TRUE(WaitFor([&] { return CentreAlpha() == kShownAlpha; }, 10)) << "the card did not fade in";
    ASSERT_TRUE(WaitFor([&] { return CentreAlpha() < kShownAlpha; }, 10)) << "the card did not fade out";
    std::this_thread::sleep_for(std::chrono::milliseconds(15 * round));
    // A press on a card that is there to see.
    ASSERT_TRUE(WaitFor([&] { return CentreAlpha() > 40; }, 10));
    const auto from = Centre();
    released = round % 2 == 0 ? std::pair{from.first + 50, from.second + 136}
                              : std::pair{from.first - 50, from.second - 136};
    XSelectInput(D, CardWindow, StructureNotifyMask);
    CardHidden();
    Drag(D, from, released, 500);
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

namespace {

// Quick drags of a card anchored at its top left, as a hand makes them
// while the card refreshes every 2 s: wherever a drag falls in the
// refresh's cycle, the card lies where it was let go 0.3 s after the
// release, and the next card is put there.
class CardQuickDragTest : public hktest::CardOnTheDisplayTest {
 protected:
  Window CardWindow = 0;
  std::pair<int, int> Place;  // where the card's top left should be
  int Width = 0, Height = 0;

  // One entry, so every card has the same size; its top left is anchored
  // at `place` and it refreshes every 2 s.
  void StartAt(std::pair<int, int> place) {
    std::ofstream(Dir / "dict.txt") << "水 [みず] /(n) water/\n";
    WriteConfig("FirstRun=0\nRefreshTime=2000\nResizingFrom=1\nResizingPointX=" + std::to_string(place.first) +
                "\nResizingPointY=" + std::to_string(place.second) + "\n");
    StartCard();
    ASSERT_TRUE(WaitFor([&] { return (CardWindow = FindTop("Card")) != 0 && Viewable(CardWindow); }, 30))
        << "no card";
    XSelectInput(D, CardWindow, StructureNotifyMask);
    int error = 0;
    ASSERT_TRUE(XShapeQueryExtension(D, &ShapeEvent, &error));
    XShapeSelectInput(D, CardWindow, ShapeNotifyMask);
    Place = place;
    ASSERT_EQ(Origin(CardWindow), Place);
    Width = Attributes(CardWindow).width;
    Height = Attributes(CardWindow).height;
  }
  int ShapeEvent = 0;
  // A card at no opacity (the end of a fade-out, the start of a fade-in)
  // is cut to no input: a press there goes through it.
  static constexpr int kInputGone = -1, kInputBack = -2;
  // Whether a press would find the card, as of the events read.
  struct TPressable {
    bool Mapped = true, Input = true;
    void Follow(int type) {
      if (type == UnmapNotify || type == MapNotify) Mapped = type == MapNotify;
      else Input = type == kInputBack;
    }
    bool operator()() const { return Mapped && Input; }
  } Pressable;
  // The card's unmaps, maps and input shapes since the last look, each
  // with the serial of the last request of ours the server had done then.
  std::vector<std::pair<int, unsigned long>> CardEvents() {
    XSync(D, False);
    std::vector<std::pair<int, unsigned long>> out;
    while (XPending(D) > 0) {
      XEvent ev;
      XNextEvent(D, &ev);
      if (ev.xany.window != CardWindow) continue;
      if (ev.type == UnmapNotify || ev.type == MapNotify) out.emplace_back(ev.type, ev.xany.serial);
      if (ev.type == ShapeEvent) {
        const auto& shape = reinterpret_cast<const XShapeEvent&>(ev);
        if (shape.kind == ShapeInput)
          out.emplace_back(shape.width == 0 || shape.height == 0 ? kInputGone : kInputBack, shape.serial);
      }
    }
    for (auto [type, serial] : out) Pressable.Follow(type);
    return out;
  }
  // Waits for the card to be hidden after our request `serial` and shown
  // again, from the events `seen` already on.
  bool WaitForCardAfter(unsigned long serial, std::vector<std::pair<int, unsigned long>> seen = {}) {
    bool unmapped = false;
    return WaitFor(
        [&] {
          for (auto [type, at] : seen) {
            if (type == UnmapNotify && at >= serial) unmapped = true;
            if (type == MapNotify && unmapped) return true;
          }
          seen = CardEvents();
          return false;
        },
        10);
  }
  // Whether a refresh hid the card during a drag, or after its release
  // (one whose tick came during the drag) by the first look.
  struct TRefreshMet {
    bool During = false, After = false;
  };
  // A drag from the card's centre by `delta` over `ms`, checked 0.3 s after
  // the release and in the next card. A press while a refresh had the card
  // hidden (or at no opacity) drags nothing.
  TRefreshMet DragAndCheck(std::pair<int, int> delta, int ms) {
    CardEvents();
    const std::pair<int, int> from{Place.first + Width / 2, Place.second + Height / 2};
    const unsigned long press = Drag(D, from, {from.first + delta.first, from.second + delta.second}, ms);
    const unsigned long release = NextRequest(D) - 1;
    const auto released = hktest::Clock::now();
    std::this_thread::sleep_until(released + std::chrono::milliseconds(300));
    const auto shown = Origin(CardWindow);
    const unsigned long looked = NextRequest(D);
    TPressable atPress = Pressable;
    TRefreshMet met;
    const auto events = CardEvents();
    for (auto [type, serial] : events) {
      if (serial < press) atPress.Follow(type);
      else if (type == UnmapNotify && serial < looked) (serial < release ? met.During : met.After) = true;
    }
    const bool pressedTheCard = atPress();
    if (pressedTheCard) Place = {Place.first + delta.first, Place.second + delta.second};
    const std::string what = std::string(met.During ? " (a refresh hid it during the drag)" : "") +
                             (met.After ? " (a refresh hid it after the release)" : "") +
                             (pressedTheCard ? "" : " (the press found no card)");
    EXPECT_EQ(shown, Place) << "0.3 s after the release the card is at " << shown.first << ", " << shown.second
                            << what;
    EXPECT_TRUE(WaitForCardAfter(looked, events));
    const auto next = Origin(CardWindow);
    EXPECT_EQ(next, Place) << "the next card is at " << next.first << ", " << next.second << what;
    return met;
  }
};

TEST_F(CardQuickDragTest, EveryDropHoldsWhateverTheRefreshDoes) {
  ASSERT_NO_FATAL_FAILURE(StartAt({400, 300}));
  ASSERT_TRUE(WaitForCardAfter(NextRequest(D)));
  int met = 0;
  for (int drag = 0; drag < 20 && !HasFailure(); ++drag) {
    SCOPED_TRACE("drag " + std::to_string(drag));
    // 150 px in 0.4 s, from a card's fade-in on, a little later each time:
    // the drags meet the next refresh's fade-out, its hidden card and its
    // fade-in. The card is shown again in every check, so each drag starts
    // from a new card's fade-in.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000 + 50 * drag));
    const int sign = drag % 2 == 0 ? 1 : -1;
    const TRefreshMet seen = DragAndCheck({sign * 120, sign * 90}, 400);
    if (seen.During || seen.After) ++met;
  }
  EXPECT_GE(met, 5) << "too few drags met a refresh to say anything";
}

// A quick drag begun on a card fading out for a refresh and held on past
// the new card's fade-in: the program, held by the fades, reads the
// pointer's way afterwards, and the pointer is well off the card by then
// (300 px in 0.5 s), so its moves and release come only through the
// program's hold of the pointer.
TEST_F(CardQuickDragTest, ADragBegunAsTheCardFadesOutAndHeldPastItsReturnEndsWhereReleased) {
  ASSERT_NO_FATAL_FAILURE(StartAt({400, 200}));
  bool met = false;
  for (int round = 0; round < 8 && !met && !HasFailure(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // The hand comes from beside the card a little before the next refresh
    // begins, later each round, until the press falls in its fade-out.
    XTestFakeMotionEvent(D, DefaultScreen(D), Place.first - 40, Place.second - 40, CurrentTime);
    ASSERT_TRUE(WaitForCardAfter(NextRequest(D)));
    std::this_thread::sleep_for(std::chrono::milliseconds(1750 + 40 * round));
    const int sign = round % 2 == 0 ? 1 : -1;
    met = DragAndCheck({sign * 40, sign * 300}, 500).During;
  }
  EXPECT_TRUE(met) << "no press came while the card faded out";
}

}  // namespace
