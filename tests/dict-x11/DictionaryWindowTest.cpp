// The dictionary program run whole on a real X server: started from a program
// directory of its own with the sample dictionary, driven only through XTest,
// and judged by what the X server shows of its window. Every test runs on a
// private display, once without a window manager and once under openbox.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// Xlib's macros clash with GoogleTest's names: it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "tests/x11/PrivateDisplay.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Where the form puts things, in window coordinates.
constexpr int SearchBoxX = 40 + 10, SearchBoxY = 16 + 8;
constexpr int CloseX = 654 + 9, CloseY = 7 + 9;
constexpr int MinimizeX = 611 + 9, MinimizeY = 7 + 9;
constexpr int MaximizeX = 633 + 9, MaximizeY = 7 + 9;
constexpr int TopBoxX = 300, TopBoxY = 50;  // clear of the buttons and the search box
constexpr int ListLeft = 1, ListRight = 181, ListTop = 141 + 48, ItemHeight = 20;
constexpr int PaneLeft = 182, PaneTop = 141;

struct TRgb {
  int R, G, B;
};

// A window's pixels read back from the X server.
class TShot {
 public:
  TShot(Display* d, Window w, int width, int height) : Width(width), Height(height) {
    XImage* img = XGetImage(d, w, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (img == nullptr) return;
    Pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) Pixels.push_back(static_cast<uint32_t>(XGetPixel(img, x, y)) & 0xFFFFFFu);
    XDestroyImage(img);
  }
  bool Empty() const { return Pixels.empty(); }
  TRgb At(int x, int y) const {
    uint32_t p = Pixels[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)];
    return {static_cast<int>(p >> 16), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
  }
  // How many pixels of [x0, x1) x [y0, y1) satisfy `pred`.
  int Count(int x0, int y0, int x1, int y1, const std::function<bool(TRgb)>& pred) const {
    int n = 0;
    for (int y = y0; y < y1 && y < Height; ++y)
      for (int x = x0; x < x1 && x < Width; ++x)
        if (pred(At(x, y))) ++n;
    return n;
  }

 private:
  int Width, Height;
  std::vector<uint32_t> Pixels;
};

// The selected item's gradient runs from RGB(0x32, 0x8F, 0xED) to (0x00, 0x73, 0xE8).
bool SelectionBlue(TRgb c) { return c.B >= 0xD0 && c.R <= 0x50 && c.G >= 0x60 && c.G <= 0xA0; }
bool Dark(TRgb c) { return c.R < 0x60 && c.G < 0x60 && c.B < 0x60; }
bool White(TRgb c) { return c.R >= 0xF8 && c.G >= 0xF8 && c.B >= 0xF8; }
bool ListGrey(TRgb c) { return c.R == 0xF0 && c.G == 0xF0 && c.B == 0xF0; }
bool Is(TRgb c, int rgb) { return c.R == (rgb >> 16) && c.G == ((rgb >> 8) & 0xFF) && c.B == (rgb & 0xFF); }
// The "Stop" label's colour, $EF9644 as RGB(0x44, 0x96, 0xEF).
bool StopBlue(TRgb c) { return c.B >= 0xC0 && c.R < 0x90 && c.G > 0x70 && c.G < 0xC0; }

// The program's windows can vanish between two requests about them (it is
// another process): such errors are expected and must not end the test.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

using hktest::TWindowManager;

class DictionaryWindowTest : public ::testing::TestWithParam<TWindowManager> {
 protected:
  hktest::TPrivateDisplay Server;
  Display* D = nullptr;
  std::string DisplayName;
  fs::path ProgramDir;
  pid_t Child = -1;
  int ExitStatus = -1;
  Window Win = 0;

  void SetUp() override {
    const char* display = std::getenv("HANAKUMO_TEST_DISPLAY");
    if (display == nullptr || *display == 0) GTEST_SKIP() << "HANAKUMO_TEST_DISPLAY is not set";
    std::string failure = Server.Start(GetParam());
    ASSERT_EQ(failure, "");
    DisplayName = Server.Name();
    XSetErrorHandler(IgnoreXError);
    D = XOpenDisplay(DisplayName.c_str());
    ASSERT_NE(D, nullptr) << "cannot open " << DisplayName;
    int event, error, major, minor;
    ASSERT_TRUE(XTestQueryExtension(D, &event, &error, &major, &minor)) << "the display has no XTest";
    MakeProgramDir();
  }

  void TearDown() override {
    if (Child > 0) {
      kill(Child, SIGKILL);
      waitpid(Child, nullptr, 0);
      Child = -1;
    }
    if (HasFailure() && !ProgramDir.empty()) {
      std::ifstream log(ProgramDir / "program.log");
      std::stringstream text;
      text << log.rdbuf();
      if (!text.str().empty()) std::fprintf(stderr, "--- the program's output ---\n%s\n", text.str().c_str());
    }
    if (!ProgramDir.empty()) {
      std::error_code ec;
      fs::remove_all(ProgramDir, ec);
    }
    if (D != nullptr) {
      // Leave no button held for the next test on this display.
      XTestFakeButtonEvent(D, 1, False, CurrentTime);
      XCloseDisplay(D);
    }
  }

  // The program finds its data next to its own executable, so it must be a
  // real file here: a symbolic link would lead it back to the build folder.
  void MakeProgramDir() {
    std::string templ = (fs::temp_directory_path() / "hk-dict-x11-XXXXXX").string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    ProgramDir = templ;
    std::error_code ec;
    fs::create_hard_link(HK_DICT_PROGRAM, ProgramDir / "HanakumoDict", ec);
    if (ec) fs::copy_file(HK_DICT_PROGRAM, ProgramDir / "HanakumoDict", ec);
    ASSERT_FALSE(ec) << "cannot place " << HK_DICT_PROGRAM << ": " << ec.message();
    fs::copy_file(fs::path(HK_SOURCE_DIR) / "assets/dict/sample-edict.txt", ProgramDir / "edict.txt", ec);
    ASSERT_FALSE(ec) << ec.message();
    fs::copy_file(fs::path(HK_SOURCE_DIR) / "assets/dict/markers.txt", ProgramDir / "markers.txt", ec);
    ASSERT_FALSE(ec) << ec.message();
  }

  // Replaces the sample dictionary with a large one: `exact` entries whose
  // gloss is just "a", then `similar` entries with many an "a" in their
  // glosses, so that loading it and searching "a" take a while.
  void WriteLargeDictionary(int exact, int similar) {
    std::ofstream out(ProgramDir / "edict.txt", std::ios::binary | std::ios::trunc);
    for (int i = 0; i < exact; ++i) out << "\xE4\xBA\x9C" << i << " [\xE3\x81\x82] /(n) a/\n";
    for (int i = 0; i < similar; ++i)
      out << "\xE8\xAA\x9E" << i << " [\xE3\x81\x94] /(n) banana salad/alfalfa/a lava java/\n";
    ASSERT_TRUE(out.good());
  }

  // Starts the program on the test display with the real X11 driver; its
  // output goes to program.log in its directory.
  void Start() {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      if (std::strncmp(*e, "HANAKUMO_DRIVER=", 16) == 0 || std::strncmp(*e, "DISPLAY=", 8) == 0) continue;
      env.emplace_back(*e);
    }
    env.push_back("DISPLAY=" + DisplayName);
    std::vector<char*> envp;
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);

    const std::string program = (ProgramDir / "HanakumoDict").string();
    const std::string log = (ProgramDir / "program.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addchdir_np(&actions, ProgramDir.c_str());
    std::vector<char*> argv{const_cast<char*>(program.c_str()), nullptr};
    int rc = posix_spawn(&Child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(rc, 0) << "posix_spawn: " << std::strerror(rc);
  }

  // True once the program has ended; its wait status is kept in ExitStatus.
  bool Exited() {
    if (Child <= 0) return true;
    int status = 0;
    if (waitpid(Child, &status, WNOHANG) != Child) return false;
    ExitStatus = status;
    Child = -1;
    return true;
  }

  // Polls `done` until it holds, the program ends, or `seconds` pass.
  template <typename F>
  bool WaitFor(F done, double seconds, bool childMayExit = false) {
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (;;) {
      if (done()) return true;
      if (!childMayExit && Exited()) {
        ADD_FAILURE() << "the program ended early, wait status " << ExitStatus;
        return false;
      }
      if (Clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  }

  bool UnderWindowManager() const { return GetParam() != TWindowManager::NoWindowManager; }

  // The viewable window named `title`, 0 while there is none. A window
  // manager puts its frames between the root and the program's windows.
  Window FindWindow(const char* title, Window under = 0, int depth = 0) {
    if (under == 0) under = DefaultRootWindow(D);
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (!XQueryTree(D, under, &root, &parent, &children, &n)) return 0;
    // Children come bottom to top: the last match is the newest on top.
    for (unsigned i = 0; i < n; ++i) {
      XWindowAttributes a;
      if (!XGetWindowAttributes(D, children[i], &a) || a.map_state != IsViewable) continue;
      char* name = nullptr;
      if (XFetchName(D, children[i], &name) && name != nullptr) {
        if (std::strcmp(name, title) == 0) found = children[i];
        XFree(name);
      } else if (depth < 2) {
        if (Window inner = FindWindow(title, children[i], depth + 1)) found = inner;
      }
    }
    if (children != nullptr) XFree(children);
    return found;
  }
  Window FindMainWindow() { return FindWindow("Hanakumo"); }

  XWindowAttributes Attributes() {
    XWindowAttributes a{};
    XGetWindowAttributes(D, Win, &a);
    return a;
  }

  // The window's origin on the screen.
  std::pair<int, int> Origin() {
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(D, Win, DefaultRootWindow(D), 0, 0, &x, &y, &child);
    return {x, y};
  }

  TShot Shot() {
    XWindowAttributes a = Attributes();
    return TShot(D, Win, a.width, a.height);
  }

  // Starts the program and waits until its main window shows the empty
  // search page (grey list column, white result pane).
  void StartAndWaitForWindow() {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(WaitFor([&] { return (Win = FindMainWindow()) != 0; }, 30)) << "no window named Hanakumo appeared";
    XWindowAttributes a = Attributes();
    EXPECT_EQ(a.width, 680);
    EXPECT_EQ(a.height, 514);
    ASSERT_TRUE(WaitFor(
        [&] {
          TShot s = Shot();
          return !s.Empty() && ListGrey(s.At(90, 400)) && White(s.At(400, 400));
        },
        10))
        << "the search page was never painted";
  }

  void MoveTo(int wx, int wy) {
    auto [ox, oy] = Origin();
    XTestFakeMotionEvent(D, DefaultScreen(D), ox + wx, oy + wy, CurrentTime);
    XSync(D, False);
  }
  void Button(bool down) {
    XTestFakeButtonEvent(D, 1, down ? True : False, CurrentTime);
    XSync(D, False);
  }
  void Click(int wx, int wy) {
    MoveTo(wx, wy);
    Button(true);
    Button(false);
  }
  void Key(KeySym sym) {
    KeyCode code = XKeysymToKeycode(D, sym);
    ASSERT_NE(code, 0) << "no key for keysym " << sym;
    XTestFakeKeyEvent(D, code, True, CurrentTime);
    XTestFakeKeyEvent(D, code, False, CurrentTime);
    XSync(D, False);
  }
  void Type(const char* lowercase) {
    for (const char* p = lowercase; *p; ++p) ASSERT_NO_FATAL_FAILURE(Key(XK_a + (*p - 'a')));
  }

  // A search shows its first exact match selected (the blue gradient left
  // of the text) and the entry in the result pane (dark text).
  bool FirstResultShown() {
    const int row0 = ListTop;
    const int margin = (15 - 2) * (ItemHeight - 4);
    TShot s = Shot();
    return !s.Empty() && s.Count(2, row0 + 2, 15, row0 + ItemHeight - 2, SelectionBlue) >= margin * 9 / 10 &&
           s.Count(PaneLeft, PaneTop, 680 - 1, 514 - 1, Dark) > 50;
  }

  // Asks the window manager to activate the window, as a taskbar does.
  void RequestActivation() {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = Win;
    e.xclient.message_type = XInternAtom(D, "_NET_ACTIVE_WINDOW", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;  // from a pager or taskbar
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(D, DefaultRootWindow(D), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XSync(D, False);
  }

  bool Viewable() {
    XWindowAttributes a{};
    return XGetWindowAttributes(D, Win, &a) && a.map_state == IsViewable;
  }
};

TEST_P(DictionaryWindowTest, AWordTypedWithEnterFillsTheListAndDrawsTheEntry) {
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  Click(SearchBoxX, SearchBoxY);
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
    Click(SearchBoxX, SearchBoxY);
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

// A long search ends with every visible row of the shown list drawn.
TEST_P(DictionaryWindowTest, ALongSearchLeavesEveryVisibleRowDrawn) {
  constexpr int Exact = 8;
  ASSERT_NO_FATAL_FAILURE(WriteLargeDictionary(Exact, 20000));
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  Click(SearchBoxX, SearchBoxY);
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

TEST_P(DictionaryWindowTest, TheMaximiseButtonMaximisesAndRestores) {
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  const auto origin = Origin();
  Click(MaximizeX, MaximizeY);
  ASSERT_TRUE(WaitFor([&] { return Attributes().width == 1280 && Attributes().height == 1024; }, 10))
      << "the window is " << Attributes().width << " x " << Attributes().height;
  ASSERT_TRUE(WaitFor([&] { TShot s = Shot(); return !s.Empty() && White(s.At(1200, 900)); }, 5));
  // The button follows the right edge.
  Click(1280 - 680 + MaximizeX, MaximizeY);
  ASSERT_TRUE(WaitFor([&] { return Attributes().width == 680 && Attributes().height == 514; }, 10))
      << "the window is " << Attributes().width << " x " << Attributes().height;
  EXPECT_TRUE(WaitFor([&] { return Origin() == origin; }, 5));
  // Still live.
  Click(SearchBoxX, SearchBoxY);
  ASSERT_NO_FATAL_FAILURE(Type("water"));
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  EXPECT_TRUE(WaitFor([&] { return FirstResultShown(); }, 20));
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

INSTANTIATE_TEST_SUITE_P(, DictionaryWindowTest,
                         ::testing::Values(TWindowManager::NoWindowManager, TWindowManager::Openbox),
                         [](const ::testing::TestParamInfo<TWindowManager>& info) {
                           return std::string(hktest::WindowManagerName(info.param));
                         });

}  // namespace
