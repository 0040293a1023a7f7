// The card program run whole on a real X server with a notification area of
// our own (hk_tray_manager): started from a program directory of its own,
// driven only through XTest, and judged by what the X server shows.
#include "tests/card-x11/CardDisplayFixture.h"

#include <X11/extensions/shape.h>

namespace {

using hktest::CardOnTheDisplayTest;
using hktest::CardUnderAWindowManagerTest;
using hktest::kExitY;
using hktest::kLockY;
namespace fs = std::filesystem;

TEST_F(CardOnTheDisplayTest, TheCardWithItsTrayIconMenuLockAndExit) {
  WriteConfig("FirstRun=0\nAlpha=255\nRefreshTime=2000\n");
  ASSERT_NO_FATAL_FAILURE(StartTray());
  StartCard();
  Window card = 0, icon = 0;
  ASSERT_TRUE(WaitFor([&] { return (card = FindTop("Card")) != 0 && Viewable(card); }, 30)) << "no card";
  ASSERT_TRUE(WaitFor([&] { return (icon = DockedIcon()) != 0; }, 10)) << "the icon did not dock";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the fade-in

  // The docked icon shows the program's icon: not only the panel's colour.
  int w = 0, h = 0;
  std::vector<uint32_t> iconPixels;
  EXPECT_TRUE(WaitFor(
      [&] {
        iconPixels = Pixels(icon, &w, &h);
        std::set<uint32_t> colours;
        for (uint32_t p : iconPixels) colours.insert(p & 0xFFFFFF);
        return colours.size() > 3;
      },
      10))
      << "the icon shows no picture";

  // A 32-bit window. Nothing composites this display: the card is cut to
  // its mostly opaque pixels and drawn opaque (the premultiplied image a
  // compositor gets is CardInputTest's).
  XWindowAttributes a = Attributes(card);
  EXPECT_EQ(a.depth, 32);
  EXPECT_GE(a.width, 280);  // the real fonts decide the rest
  EXPECT_GE(a.height, 170);
  std::vector<uint32_t> px = Pixels(card, &w, &h);
  ASSERT_EQ(px.size(), static_cast<size_t>(w * h));
  auto at = [&](int x, int y) { return px[static_cast<size_t>(y * w + x)]; };
  auto inShape = [&](int x, int y) {
    int count = 0, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(D, card, ShapeBounding, &count, &ordering);
    bool in = false;
    for (int i = 0; i < count; ++i)
      in = in || (x >= rects[i].x && x < rects[i].x + rects[i].width && y >= rects[i].y && y < rects[i].y + rects[i].height);
    if (rects) XFree(rects);
    return in;
  };
  EXPECT_FALSE(inShape(0, 0));
  EXPECT_FALSE(inShape(5, 85));
  EXPECT_TRUE(inShape(40, 33));
  EXPECT_EQ(at(40, 33) >> 24, 255u);
  // Out of the taskbar and the pager.
  std::vector<Atom> states = States(card);
  EXPECT_NE(std::find(states.begin(), states.end(), XInternAtom(D, "_NET_WM_STATE_SKIP_TASKBAR", False)),
            states.end());

  // Another program's ordinary window raised over the card: the next card
  // (two seconds on) comes back above it. (An override-redirect one, a menu
  // or a locker, it leaves above.)
  auto [cx, cy] = Origin(card);
  Window other = MakeWindow(cx - 20, cy - 20, 320, 210, ButtonPressMask, false);
  ASSERT_TRUE(WaitForNewCard(card, 10)) << "no new card";
  std::vector<Window> stack = TopWindows();
  auto pos = [&](Window x) { return std::find(stack.begin(), stack.end(), x) - stack.begin(); };
  EXPECT_GT(pos(card), pos(other));

  // The icon's menu; Lock lets the pointer through to the window below.
  Window menu = OpenTrayMenu(icon);
  ASSERT_NE(menu, 0u) << "no menu";
  auto [mx, my] = Origin(menu);
  Click(mx + 30, my + kLockY, 1);
  ASSERT_TRUE(WaitFor([&] { return !Viewable(menu); }, 5));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  XRaiseWindow(D, card);
  XSync(D, False);
  while (XPending(D) > 0) {
    XEvent ev;
    XNextEvent(D, &ev);
  }
  std::tie(cx, cy) = Origin(card);
  Click(cx + 140, cy + 85, 1);
  bool through = WaitFor(
      [&] {
        XEvent ev;
        return XCheckTypedWindowEvent(D, other, ButtonPress, &ev) != 0;
      },
      5);
  EXPECT_TRUE(through) << "the locked card caught the click";

  // Exit ends the program cleanly, with its settings written.
  menu = OpenTrayMenu(icon);
  ASSERT_NE(menu, 0u) << "no menu";
  std::tie(mx, my) = Origin(menu);
  Click(mx + 30, my + kExitY, 1);
  ASSERT_TRUE(WaitFor([&] { return Exited(); }, 20)) << "Exit did not end the program";
  EXPECT_TRUE(WIFEXITED(ExitStatus) && WEXITSTATUS(ExitStatus) == 0) << "wait status " << ExitStatus;
  const std::string config = ReadConfig();
  EXPECT_NE(config.find("FirstRun=0"), std::string::npos) << config;
  EXPECT_NE(config.find("Lock=1"), std::string::npos) << config;
}

TEST_F(CardOnTheDisplayTest, TerminationSavesTheSettingsAndEndsCleanly) {
  WriteConfig("FirstRun=0\n");
  ASSERT_NO_FATAL_FAILURE(StartTray());
  StartCard();
  Window card = 0;
  ASSERT_TRUE(WaitFor([&] { return (card = FindTop("Card")) != 0 && Viewable(card); }, 30)) << "no card";
  std::error_code ec;
  fs::remove(Dir / "config.ini", ec);
  kill(Card, SIGTERM);
  ASSERT_TRUE(WaitFor([&] { return Exited(); }, 20)) << "SIGTERM did not end the program";
  EXPECT_TRUE(WIFEXITED(ExitStatus) && WEXITSTATUS(ExitStatus) == 0) << "wait status " << ExitStatus;
  EXPECT_NE(ReadConfig().find("FirstRun=0"), std::string::npos);
}

TEST_F(CardUnderAWindowManagerTest, ANewCardComesOnTopAndLeavesTheKeyboardAlone) {
  WriteConfig("FirstRun=0\nRefreshTime=2000\n");
  ASSERT_NO_FATAL_FAILURE(StartTray());
  StartCard();
  Window card = 0;
  ASSERT_TRUE(WaitFor([&] { return (card = FindTop("Card")) != 0 && Viewable(card); }, 30)) << "no card";
  // A window of another program, managed and given the keyboard.
  Window typing = XCreateSimpleWindow(D, DefaultRootWindow(D), 400, 300, 500, 400, 0, 0, 0xFFFFFF);
  XStoreName(D, typing, "Typing");
  XSelectInput(D, typing, FocusChangeMask);
  XMapRaised(D, typing);
  XSync(D, False);
  ASSERT_TRUE(WaitFor([&] { return Viewable(typing); }, 10));
  XSetInputFocus(D, typing, RevertToParent, CurrentTime);
  XSync(D, False);
  Window focus = 0;
  int revert = 0;
  ASSERT_TRUE(WaitFor(
      [&] {
        XGetInputFocus(D, &focus, &revert);
        return focus == typing;
      },
      5));
  ASSERT_TRUE(WaitForNewCard(card, 10)) << "no new card";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  XGetInputFocus(D, &focus, &revert);
  char* name = nullptr;
  std::string focusName = XFetchName(D, focus, &name) && name ? name : "(no name)";
  if (name) XFree(name);
  EXPECT_EQ(focus, typing) << "the keyboard went to " << focusName << " when the new card came";
  std::vector<Window> stack = TopWindows();
  auto pos = [&](Window x) { return std::find(stack.begin(), stack.end(), TopOf(x)) - stack.begin(); };
  EXPECT_GT(pos(card), pos(typing));
}

// Each refresh hides and shows the card, and the window manager forgets the
// states of a window it withdrew: the card must bring them back itself.
TEST_F(CardUnderAWindowManagerTest, ACardShownAgainStaysOutOfTheTaskbar) {
  WriteConfig("FirstRun=0\nRefreshTime=2000\n");
  ASSERT_NO_FATAL_FAILURE(StartTray());
  StartCard();
  Window card = 0;
  ASSERT_TRUE(WaitFor([&] { return (card = FindTop("Card")) != 0 && Viewable(card); }, 30)) << "no card";
  ASSERT_TRUE(WaitForNewCard(card, 10)) << "no new card";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  std::vector<Atom> states = States(card);
  std::string names;
  for (Atom a : states) {
    char* n = XGetAtomName(D, a);
    names += std::string(n ? n : "?") + " ";
    if (n) XFree(n);
  }
  EXPECT_NE(std::find(states.begin(), states.end(), XInternAtom(D, "_NET_WM_STATE_SKIP_TASKBAR", False)),
            states.end())
      << "states: " << names;
}

}  // namespace
