// The card program run whole on a real X server with a notification area of
// our own (hk_tray_manager): started from a program directory of its own,
// driven only through XTest, and judged by what the X server shows.
#include "tests/card-x11/CardDisplayFixture.h"

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

  // A 32-bit window showing the frame premultiplied: a clear margin, an
  // opaque centre, no colour above its alpha.
  XWindowAttributes a = Attributes(card);
  EXPECT_EQ(a.depth, 32);
  EXPECT_GE(a.width, 280);  // the real fonts decide the rest
  EXPECT_GE(a.height, 170);
  std::vector<uint32_t> px = Pixels(card, &w, &h);
  ASSERT_EQ(px.size(), static_cast<size_t>(w * h));
  auto at = [&](int x, int y) { return px[static_cast<size_t>(y * w + x)]; };
  EXPECT_EQ(at(0, 0) >> 24, 0u);
  EXPECT_EQ(at(5, 85) >> 24, 0u);
  EXPECT_EQ(at(40, 33) >> 24, 254u);
  const uint32_t shadow = at(272, 85) >> 24;
  EXPECT_GT(shadow, 0u);
  EXPECT_LT(shadow, 254u);
  for (uint32_t p : px) {
    const uint32_t alpha = p >> 24;
    ASSERT_LE((p >> 16) & 0xFF, alpha);
    ASSERT_LE((p >> 8) & 0xFF, alpha);
    ASSERT_LE(p & 0xFF, alpha);
  }
  // Out of the taskbar and the pager.
  std::vector<Atom> states = States(card);
  EXPECT_NE(std::find(states.begin(), states.end(), XInternAtom(D, "_NET_WM_STATE_SKIP_TASKBAR", False)),
            states.end());

  // Another window raised over the card: the next card (two seconds on)
  // comes back above it.
  auto [cx, cy] = Origin(card);
  Window other = MakeWindow(cx - 20, cy - 20, 320, 210, ButtonPressMask);
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
