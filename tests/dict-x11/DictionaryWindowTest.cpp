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

INSTANTIATE_TEST_SUITE_P(, DictionaryWindowTest,
                         ::testing::Values(TWindowManager::NoWindowManager, TWindowManager::Openbox),
                         [](const ::testing::TestParamInfo<TWindowManager>& info) {
                           return std::string(hktest::WindowManagerName(info.param));
                         });

}  // namespace
