// The dictionary program run whole on a real X server: started from a program
// directory of its own with the sample dictionary, driven only through XTest,
// and judged by what the X server shows of its window. Every test runs on a
// private display, once without a window manager and once under openbox.
#include "tests/dict-x11/DictionaryWindowFixture.h"

#include <algorithm>

#include "tests/x11/WindowIdentity.h"

namespace {

using namespace hktest;
namespace fs = std::filesystem;

TEST_P(DictionaryWindowTest, AWordTypedWithEnterFillsTheListAndDrawsTheEntry) {
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  ClickAndLetItLand(SearchBoxX, SearchBoxY);
  ASSERT_NO_FATAL_FAILURE(Type("water"));
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));

  const int row0 = ListTop, row1 = ListTop + ItemHeight;
  ASSERT_TRUE(WaitFor([&] { return FirstResultShown(); }, 20))
      << "the search never showed a selected result and its entry";

  TShot s = Shot();
  ASSERT_FALSE(s.Empty());
  // The selected item's text is white on the gradient.
  EXPECT_GT(s.Count(ListLeft + 16, row0 + 2, ListRight - 16, row0 + ItemHeight - 2, White), 10);
  // "water" has more than one exact match: the next row is a plain item,
  // dark text on the list's grey.
  EXPECT_TRUE(ListGrey(s.At(5, row1 + ItemHeight / 2)));
  EXPECT_GT(s.Count(ListLeft + 16, row1 + 2, ListRight - 16, row1 + ItemHeight - 2, Dark), 10);
  // Nothing of the selection spills into the rows below the items.
  EXPECT_EQ(s.Count(ListLeft, ListTop + 6 * ItemHeight, ListRight, 514 - 1, SelectionBlue), 0);
  // The pane: the headword in its large band, the glosses below it, on white.
  EXPECT_GT(s.Count(PaneLeft + 10, PaneTop + 30, 680 - 11, PaneTop + 80, Dark), 50) << "no headword drawn";
  EXPECT_GT(s.Count(PaneLeft + 10, PaneTop + 120, 680 - 11, PaneTop + 320, Dark), 10) << "no glosses drawn";
  EXPECT_TRUE(White(s.At(PaneLeft + 3, PaneTop + 3)));
}

TEST_P(DictionaryWindowTest, ADragOnTheTopBoxMovesTheWindowByTheDragsDistance) {
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  const auto [x0, y0] = Origin();
  MoveTo(TopBoxX, TopBoxY);
  Button(true);
  // In steps, as a hand moves, so the move follows the pointer on the way.
  for (int i = 1; i <= 4; ++i) {
    XTestFakeMotionEvent(D, DefaultScreen(D), x0 + TopBoxX + 10 * i, y0 + TopBoxY + 30 * i / 4, CurrentTime);
    XSync(D, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  EXPECT_TRUE(WaitFor([&] { return Origin() == std::make_pair(x0 + 40, y0 + 30); }, 10))
      << "the window is at " << Origin().first << "," << Origin().second << ", it was at " << x0 << "," << y0;
  Button(false);
  // Once released, the pointer moves alone.
  XTestFakeMotionEvent(D, DefaultScreen(D), x0 + TopBoxX + 80, y0 + TopBoxY + 60, CurrentTime);
  XSync(D, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Origin(), std::make_pair(x0 + 40, y0 + 30));
  // The window shows the same page where it now is.
  TShot s = Shot();
  ASSERT_FALSE(s.Empty());
  EXPECT_TRUE(ListGrey(s.At(90, 400)));
  EXPECT_TRUE(White(s.At(400, 400)));
}

TEST_P(DictionaryWindowTest, TheCloseButtonEndsTheProgramCleanly) {
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  MoveTo(CloseX, CloseY);
  Button(true);
  Button(false);
  ASSERT_TRUE(WaitFor([&] { return Exited(); }, 20, true)) << "the program did not end after its close button";
  ASSERT_TRUE(WIFEXITED(ExitStatus)) << "wait status " << ExitStatus;
  EXPECT_EQ(WEXITSTATUS(ExitStatus), 0);
  // Its window went with it.
  EXPECT_TRUE(WaitFor([&] { return FindMainWindow() == 0; }, 5, true));
}

TEST_P(DictionaryWindowTest, KeysTypedRightAfterStartReachTheSearchBox) {
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  ASSERT_NO_FATAL_FAILURE(Type("water"));
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  EXPECT_TRUE(WaitFor([&] { return FirstResultShown(); }, 20)) << "the keys typed after start reached no search box";
}

// Minimised by its own button and brought back the ways a desktop does it,
// the window takes clicks and keys again.
TEST_P(DictionaryWindowTest, AfterMinimiseAndRestoreTheWindowIsLive) {
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  // With a window manager: a taskbar's activation, then a plain map request.
  // Without one, mapping the window is all anybody can do.
  std::vector<int> ways = UnderWindowManager() ? std::vector<int>{0, 1} : std::vector<int>{1};
  const char* words[] = {"water", "cat"};
  for (int way : ways) {
    SCOPED_TRACE(way == 0 ? "restored by _NET_ACTIVE_WINDOW" : "restored by a map request");
    Click(MinimizeX, MinimizeY);
    ASSERT_TRUE(WaitFor([&] { return !Viewable(); }, 10)) << "the minimise button left the window on screen";
    if (way == 0) RequestActivation();
    else XMapWindow(D, Win), XSync(D, False);
    ASSERT_TRUE(WaitFor([&] { return Viewable(); }, 10)) << "the window did not come back";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // A click in the search box and typed keys reach the program.
    ClickAndLetItLand(SearchBoxX, SearchBoxY);
    for (int i = 0; i < 8; ++i) ASSERT_NO_FATAL_FAILURE(Key(XK_BackSpace));
    ASSERT_NO_FATAL_FAILURE(Type(words[way]));
    ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
    ASSERT_TRUE(WaitFor([&] { return FirstResultShown(); }, 20)) << "the restored window ignored the click and keys";
  }
}

// The splash form is painted while the long load blocks the program: a
// light grey face in a grey frame, with its two lines of text.
TEST_P(DictionaryWindowTest, TheLoadingFormIsPaintedDuringTheLoad) {
  ASSERT_NO_FATAL_FAILURE(WriteLargeDictionary(0, 600000));
  ASSERT_NO_FATAL_FAILURE(Start());
  Window loading = 0;
  ASSERT_TRUE(WaitFor([&] { return (loading = FindWindow("Loading")) != 0; }, 30)) << "no loading form appeared";
  bool painted = false;
  int ink = 0;
  // It must be seen painted before it goes.
  WaitFor(
      [&] {
        TShot s(D, loading, 337, 156);
        if (s.Empty()) return false;
        ink = s.Count(8, 120, 120, 150, Dark);
        painted = Is(s.At(0, 0), 0x808080) && Is(s.At(336, 155), 0x808080) && Is(s.At(200, 60), 0xF5F5F5) &&
                  s.Count(1, 1, 336, 155, [](TRgb c) { return Is(c, 0xF5F5F5); }) > 337 * 156 / 2 && ink > 20;
        return painted;
      },
      20);
  EXPECT_TRUE(painted) << "the loading form was never painted (" << ink << " text pixels)";
  ASSERT_TRUE(WaitFor([&] { return (Win = FindMainWindow()) != 0; }, 60)) << "no main window after the load";
}

// A learner types the word while the dictionary is still loading: the keys
// went to the splash, which is gone by the time the program reads them, and
// they reach the search box all the same.
TEST_P(DictionaryWindowTest, AWordTypedWhileTheDictionaryLoadsIsSearched) {
  {
    std::ofstream out(ProgramDir / "edict.txt", std::ios::binary | std::ios::trunc);
    for (int i = 0; i < 600000; ++i) out << "\xE8\xAA\x9E" << i << " [\xE3\x81\x94] /(n) banana salad/\n";
    out << "\xE6\xB0\xB4 [\xE3\x81\xBF\xE3\x81\x9A] /(n) water/\n";
    ASSERT_TRUE(out.good());
  }
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(WaitFor([&] { return FindWindow("Loading") != 0; }, 30)) << "no loading form appeared";
  ASSERT_NO_FATAL_FAILURE(Type("water"));
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  ASSERT_NE(FindWindow("Loading"), 0u) << "the load ended before the word was typed: a larger dictionary is needed";
  ASSERT_TRUE(WaitFor([&] { return (Win = FindMainWindow()) != 0; }, 60)) << "no window named Hanakumo appeared";
  EXPECT_TRUE(WaitFor([&] { return FirstResultShown(); }, 20)) << "the word typed during the load was lost";
}

// A long search ends with every visible row of the shown list drawn.
TEST_P(DictionaryWindowTest, ALongSearchLeavesEveryVisibleRowDrawn) {
  constexpr int Exact = 8;
  ASSERT_NO_FATAL_FAILURE(WriteLargeDictionary(Exact, 20000));
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  ClickAndLetItLand(SearchBoxX, SearchBoxY);
  ASSERT_NO_FATAL_FAILURE(Type("a"));
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  auto stopShown = [&] {
    TShot s = Shot();
    return !s.Empty() && s.Count(646, 112, 672, 125, StopBlue) > 10;
  };
  ASSERT_TRUE(WaitFor(stopShown, 20)) << "the search never showed its Stop link";
  ASSERT_TRUE(WaitFor([&] { return !stopShown(); }, 300)) << "the search did not end";
  ASSERT_TRUE(WaitFor([&] { return FirstResultShown(); }, 10));
  // Let the last paints land, then read the rows back.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  TShot s = Shot();
  ASSERT_FALSE(s.Empty());
  // The selected row: its text on the gradient.
  EXPECT_GT(s.Count(ListLeft + 16, ListTop + 2, ListRight - 16, ListTop + ItemHeight - 2,
                    [](TRgb c) { return !SelectionBlue(c); }),
            5);
  for (int row = 1; row < Exact; ++row) {
    int top = ListTop + row * ItemHeight;
    EXPECT_GT(s.Count(ListLeft + 16, top + 2, ListRight - 16, top + ItemHeight - 2, Dark), 5) << "row " << row << " is blank";
    EXPECT_TRUE(ListGrey(s.At(5, top + ItemHeight / 2))) << "row " << row;
  }
  EXPECT_EQ(s.Count(ListLeft, ListTop + Exact * ItemHeight, ListRight, 514 - 1, Dark), 0);
}

// The size limits reach the window manager, and a size asked for below them
// is refused.
TEST_P(DictionaryWindowTest, TheWindowKeepsItsMinimumSize) {
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(D, Win, &hints, &supplied));
  ASSERT_TRUE(hints.flags & PMinSize);
  EXPECT_EQ(hints.min_width, 546);
  EXPECT_EQ(hints.min_height, 450);
  XResizeWindow(D, Win, 400, 300);
  XSync(D, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_TRUE(WaitFor(
      [&] {
        XWindowAttributes a = Attributes();
        return a.width == 546 && a.height == 450;
      },
      10))
      << "the window is " << Attributes().width << " x " << Attributes().height;
  // Laid out for that size: the close button still at the right edge.
  ASSERT_TRUE(WaitFor([&] { TShot s = Shot(); return !s.Empty() && White(s.At(546 - 100, 450 - 50)); }, 5));
  XResizeWindow(D, Win, 700, 520);
  XSync(D, False);
  EXPECT_TRUE(WaitFor([&] { return Attributes().width == 700 && Attributes().height == 520; }, 10));
}

// Its own button maximises the window and restores it where it was. Under a
// window manager that goes through the window manager, whose state says so;
// each step waits on what the display shows, never on time alone.
TEST_P(DictionaryWindowTest, TheMaximiseButtonMaximisesAndRestores) {
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  const auto origin = Origin();
  Click(MaximizeX, MaximizeY);
  if (UnderWindowManager()) {
    ASSERT_TRUE(WaitFor([&] { return NetMaximized(); }, 20)) << "the window manager was not told of the maximise";
  }
  ASSERT_TRUE(WaitFor([&] { return PagePaintedAt(1280, 1024); }, 20))
      << "the window is " << Attributes().width << " x " << Attributes().height;
  // The button follows the right edge.
  Click(1280 - 680 + MaximizeX, MaximizeY);
  if (UnderWindowManager()) {
    ASSERT_TRUE(WaitFor([&] { return NetRestored(); }, 20)) << "the window manager still has the window maximised";
  }
  ASSERT_TRUE(WaitFor([&] { return PagePaintedAt(680, 514) && Origin() == origin; }, 20))
      << "the window is " << Attributes().width << " x " << Attributes().height << " at " << Origin().first << ","
      << Origin().second;
  // Still live.
  ClickAndLetItLand(SearchBoxX, SearchBoxY);
  ASSERT_NO_FATAL_FAILURE(Type("water"));
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  EXPECT_TRUE(WaitFor([&] { return FirstResultShown(); }, 20));
}

// Maximised or made fullscreen by the window manager (a taskbar's request),
// the window knows it fills the screen: its own button restores it to the
// size and place it had, and maximises it again.
TEST_P(DictionaryWindowTest, AWindowManagersMaximiseIsRestoredByTheOwnButton) {
  if (!UnderWindowManager()) GTEST_SKIP() << "only a window manager maximises on request";
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  const auto origin = Origin();
  for (const char* state : {"_NET_WM_STATE_MAXIMIZED_HORZ", "_NET_WM_STATE_FULLSCREEN"}) {
    SCOPED_TRACE(state);
    const bool fullscreen = std::string(state) == "_NET_WM_STATE_FULLSCREEN";
    auto asked = [&] { return fullscreen ? HasNetState(state) : NetMaximized(); };
    if (fullscreen) SendToWindowManager("_NET_WM_STATE", {1, static_cast<long>(XInternAtom(D, state, False)), 0, 2});
    else RequestMaximized(true);
    ASSERT_TRUE(WaitFor([&] { return asked() && PagePaintedAt(1280, 1024); }, 20))
        << "the window is " << Attributes().width << " x " << Attributes().height;
    Click(1280 - 680 + MaximizeX, MaximizeY);
    ASSERT_TRUE(WaitFor([&] { return !asked() && NetRestored() && PagePaintedAt(680, 514) && Origin() == origin; }, 20))
        << "the window is " << Attributes().width << " x " << Attributes().height << " at " << Origin().first << ","
        << Origin().second << (asked() ? ", still in that state" : "");
  }
  // And the button maximises it again.
  Click(MaximizeX, MaximizeY);
  EXPECT_TRUE(WaitFor([&] { return NetMaximized() && PagePaintedAt(1280, 1024); }, 20));
}

// Minimised and restored by the window manager while it has the window
// maximised, the window comes back maximised, painted and taking input, and
// its own button then restores it.
TEST_P(DictionaryWindowTest, AfterTheWindowManagersMinimiseAndRestoreTheWindowIsLive) {
  if (!UnderWindowManager()) GTEST_SKIP() << "only a window manager minimises on request";
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  const auto origin = Origin();
  RequestMaximized(true);
  ASSERT_TRUE(WaitFor([&] { return NetMaximized() && PagePaintedAt(1280, 1024); }, 20));
  RequestIconic();
  ASSERT_TRUE(WaitFor([&] { return !Viewable() && WmState() == IconicState; }, 20)) << "the window was not minimised";
  RequestActivation();
  ASSERT_TRUE(WaitFor([&] { return Viewable() && WmState() == NormalState; }, 20)) << "the window did not come back";
  ASSERT_TRUE(WaitFor([&] { return NetMaximized() && PagePaintedAt(1280, 1024); }, 20))
      << "the restored window was not painted maximised";
  ClickAndLetItLand(SearchBoxX, SearchBoxY);
  ASSERT_NO_FATAL_FAILURE(Type("water"));
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  ASSERT_TRUE(WaitFor([&] { return FirstResultShown(1280, 1024); }, 20))
      << "the restored window ignored the click and keys";
  Click(1280 - 680 + MaximizeX, MaximizeY);
  EXPECT_TRUE(WaitFor([&] { return NetRestored() && HasSize(680, 514) && Origin() == origin; }, 20))
      << "the window is " << Attributes().width << " x " << Attributes().height << " at " << Origin().first << ","
      << Origin().second;
}

// A panel's strut keeps the maximised window out of it: the window manager
// gives the work area, not the screen.
TEST_P(DictionaryWindowTest, TheMaximisedWindowKeepsOutOfAPanelsStrut) {
  if (!UnderWindowManager()) GTEST_SKIP() << "only a window manager keeps struts";
  constexpr int PanelHeight = 40;
  XSetWindowAttributes attrs{};
  attrs.background_pixel = BlackPixel(D, DefaultScreen(D));
  Window panel = XCreateWindow(D, DefaultRootWindow(D), 0, 0, 1280, PanelHeight, 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWBackPixel, &attrs);
  Atom dock = XInternAtom(D, "_NET_WM_WINDOW_TYPE_DOCK", False);
  XChangeProperty(D, panel, XInternAtom(D, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&dock), 1);
  long strut[12] = {0, 0, PanelHeight, 0, 0, 0, 0, 0, 0, 1279, 0, 0};
  XChangeProperty(D, panel, XInternAtom(D, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(strut), 12);
  XChangeProperty(D, panel, XInternAtom(D, "_NET_WM_STRUT", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(strut), 4);
  XMapWindow(D, panel);
  XSync(D, False);
  auto workAreaTop = [&] {
    Atom type;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    long top = -1;
    if (XGetWindowProperty(D, DefaultRootWindow(D), XInternAtom(D, "_NET_WORKAREA", False), 0, 4, False, XA_CARDINAL,
                           &type, &format, &n, &after, &data) == Success &&
        data != nullptr && n >= 4)
      top = reinterpret_cast<long*>(data)[1];
    if (data) XFree(data);
    return top;
  };
  ASSERT_TRUE(WaitFor([&] { return workAreaTop() == PanelHeight; }, 20, true)) << "openbox kept no strut for the panel: the work area starts at " << workAreaTop();
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  Click(MaximizeX, MaximizeY);
  ASSERT_TRUE(WaitFor([&] { return NetMaximized() && PagePaintedAt(1280, 1024 - PanelHeight); }, 20))
      << "the window is " << Attributes().width << " x " << Attributes().height;
  EXPECT_EQ(Origin(), std::make_pair(0, PanelHeight));
  XDestroyWindow(D, panel);
  XSync(D, False);
}

// Dropped near the screen's left edge, the window snaps to it, whoever
// moved it.
TEST_P(DictionaryWindowTest, ADragEndingNearAnEdgeSnapsTheWindowToIt) {
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  const auto [x0, y0] = Origin();
  MoveTo(TopBoxX, TopBoxY);
  Button(true);
  const int dx = 6 - x0;  // the left edge 6 pixels from the screen's
  for (int i = 1; i <= 5; ++i) {
    XTestFakeMotionEvent(D, DefaultScreen(D), x0 + TopBoxX + dx * i / 5, y0 + TopBoxY + 4 * i, CurrentTime);
    XSync(D, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  Button(false);
  EXPECT_TRUE(WaitFor([&] { return Origin().first == 0; }, 10))
      << "the window is at " << Origin().first << "," << Origin().second;
  EXPECT_EQ(Origin().second, y0 + 20);
  // And it is where the program thinks it is: a click lands on its button.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  Click(CloseX, CloseY);
  EXPECT_TRUE(WaitFor([&] { return Exited(); }, 20, true)) << "the close button missed after the snap";
}

// The main window says whose it is, for window-manager rules, taskbars and
// tools that look windows up by class; under a window manager it keeps
// every function its own caption buttons and edges offer.
TEST_P(DictionaryWindowTest, TheMainWindowNamesItsProgramAndKeepsItsFunctions) {
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  const TWindowIdentity id = ReadIdentity(D, Win);
  EXPECT_EQ(id.Instance, "HanakumoDict");
  EXPECT_EQ(id.Class, "HanakumoDict");
  EXPECT_EQ(id.Pid, static_cast<long>(Child));
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  EXPECT_EQ(id.Machine, host);
  if (!UnderWindowManager()) return;
  std::vector<std::string> actions;
  ASSERT_TRUE(WaitFor([&] { return !(actions = AllowedActions(D, Win)).empty(); }, 10)) << "no allowed actions";
  for (const char* action : {"MOVE", "RESIZE", "MINIMIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT", "CLOSE"})
    EXPECT_NE(std::find(actions.begin(), actions.end(), action), actions.end()) << action << " is not allowed";
}

INSTANTIATE_TEST_SUITE_P(, DictionaryWindowTest,
                         ::testing::Values(TWindowManager::NoWindowManager, TWindowManager::Openbox),
                         [](const ::testing::TestParamInfo<TWindowManager>& info) {
                           return std::string(hktest::WindowManagerName(info.param));
                         });

}  // namespace
