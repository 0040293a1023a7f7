// What every test of the dictionary program on a real X server shares: a
// private display (with or without openbox), a program directory of its own
// with the sample dictionary, where the form puts things, and ways to drive
// and read back its window through XTest.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// Xlib's macros clash with GoogleTest's names: it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "tests/support/ProcessTimes.h"
#include "tests/x11/PrivateDisplay.h"

namespace hktest {

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
// The page icons, the settings page's file name field and Apply (the
// pages stand at 1, 141).
constexpr int DictionaryIconX = 16 + 24, DictionaryIconY = 87 + 24;
constexpr int SettingsIconX = 80 + 24, SettingsIconY = 87 + 24;
constexpr int FileFieldX = 1 + 16 + 200, FileFieldY = 141 + 40 + 10;
constexpr int ApplyX = 1 + 592 + 37, ApplyY = 141 + 336 + 12;

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
inline bool SelectionBlue(TRgb c) { return c.B >= 0xD0 && c.R <= 0x50 && c.G >= 0x60 && c.G <= 0xA0; }
inline bool Dark(TRgb c) { return c.R < 0x60 && c.G < 0x60 && c.B < 0x60; }
inline bool White(TRgb c) { return c.R >= 0xF8 && c.G >= 0xF8 && c.B >= 0xF8; }
inline bool ListGrey(TRgb c) { return c.R == 0xF0 && c.G == 0xF0 && c.B == 0xF0; }
inline bool Is(TRgb c, int rgb) { return c.R == (rgb >> 16) && c.G == ((rgb >> 8) & 0xFF) && c.B == (rgb & 0xFF); }
// The "Stop" label's colour, $EF9644 as RGB(0x44, 0x96, 0xEF).
inline bool StopBlue(TRgb c) { return c.B >= 0xC0 && c.R < 0x90 && c.G > 0x70 && c.G < 0xC0; }

// The program's windows can vanish between two requests about them (it is
// another process): such errors are expected and must not end the test.
inline int IgnoreXError(Display*, XErrorEvent*) { return 0; }



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

  // Variables (NAME=value) the program gets in place of the inherited ones.
  std::vector<std::string> ExtraEnv;

  // Starts the program on the test display with the real X11 driver; its
  // output goes to program.log in its directory.
  void Start() {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      if (std::strncmp(*e, "HANAKUMO_DRIVER=", 16) == 0 || std::strncmp(*e, "DISPLAY=", 8) == 0) continue;
      if (std::any_of(ExtraEnv.begin(), ExtraEnv.end(),
                      [&](const std::string& v) { return std::strncmp(*e, v.c_str(), v.find('=') + 1) == 0; }))
        continue;
      env.emplace_back(*e);
    }
    env.insert(env.end(), ExtraEnv.begin(), ExtraEnv.end());
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
  // A click that has reached the program: a window manager that holds the
  // pointer on a press (to focus the window first) lets it through later,
  // while keys typed meanwhile go straight to the window and overtake it.
  // The pointer is free again once it has.
  void ClickAndLetItLand(int wx, int wy) {
    Click(wx, wy);
    WaitFor(
        [&] {
          const int got = XGrabPointer(D, DefaultRootWindow(D), False, 0, GrabModeAsync, GrabModeAsync, None, None,
                                       CurrentTime);
          if (got == GrabSuccess) XUngrabPointer(D, CurrentTime);
          XSync(D, False);
          return got == GrabSuccess;
        },
        5);
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
  // of the text) and the entry in the result pane (dark text), in a window
  // `width` x `height`.
  bool FirstResultShown(int width = 680, int height = 514) {
    const int row0 = ListTop;
    const int margin = (15 - 2) * (ItemHeight - 4);
    TShot s = Shot();
    return !s.Empty() && s.Count(2, row0 + 2, 15, row0 + ItemHeight - 2, SelectionBlue) >= margin * 9 / 10 &&
           s.Count(PaneLeft, PaneTop, width - 1, height - 1, Dark) > 50;
  }

  // A request about the window to the window manager, sent to the root as
  // EWMH and ICCCM say.
  void SendToWindowManager(const char* type, std::initializer_list<long> data) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = Win;
    e.xclient.message_type = XInternAtom(D, type, False);
    e.xclient.format = 32;
    int i = 0;
    for (long l : data) e.xclient.data.l[i++] = l;
    XSendEvent(D, DefaultRootWindow(D), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XSync(D, False);
  }

  // Asks the window manager to activate the window, as a taskbar does (2:
  // from a pager or taskbar).
  void RequestActivation() { SendToWindowManager("_NET_ACTIVE_WINDOW", {2, CurrentTime}); }

  bool Viewable() {
    XWindowAttributes a{};
    return XGetWindowAttributes(D, Win, &a) && a.map_state == IsViewable;
  }

  // The window's _NET_WM_STATE holds the state named `name`.
  bool HasNetState(const char* name) {
    Atom type;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    const Atom wanted = XInternAtom(D, name, False);
    if (XGetWindowProperty(D, Win, XInternAtom(D, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM, &type, &format, &n,
                           &after, &data) == Success &&
        data != nullptr && format == 32)
      for (unsigned long i = 0; i < n; ++i) found = found || reinterpret_cast<Atom*>(data)[i] == wanted;
    if (data) XFree(data);
    return found;
  }
  // Maximised both ways, as the window manager has it.
  bool NetMaximized() {
    return HasNetState("_NET_WM_STATE_MAXIMIZED_HORZ") && HasNetState("_NET_WM_STATE_MAXIMIZED_VERT");
  }
  bool NetRestored() {
    return !HasNetState("_NET_WM_STATE_MAXIMIZED_HORZ") && !HasNetState("_NET_WM_STATE_MAXIMIZED_VERT");
  }

  // Asks the window manager to maximise (or restore) the window, as a
  // taskbar does.
  void RequestMaximized(bool on) {
    SendToWindowManager("_NET_WM_STATE", {on ? 1 : 0, static_cast<long>(XInternAtom(D, "_NET_WM_STATE_MAXIMIZED_HORZ", False)),
                                          static_cast<long>(XInternAtom(D, "_NET_WM_STATE_MAXIMIZED_VERT", False)), 2});
  }

  // Asks the window manager to minimise the window (ICCCM's WM_CHANGE_STATE).
  void RequestIconic() { SendToWindowManager("WM_CHANGE_STATE", {IconicState}); }

  // The window's WM_STATE as the window manager set it; -1 when there is none.
  long WmState() {
    Atom type;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom wmState = XInternAtom(D, "WM_STATE", False);
    long state = -1;
    if (XGetWindowProperty(D, Win, wmState, 0, 2, False, wmState, &type, &format, &n, &after, &data) == Success &&
        data != nullptr && format == 32 && n >= 1)
      state = reinterpret_cast<long*>(data)[0];
    if (data) XFree(data);
    return state;
  }

  std::string ReadConfig() {
    std::ifstream in(ProgramDir / "config.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // What the program wrote to its standard output and error.
  // Ends the session with the program running (SIGTERM, or the display
  // closing): it must be gone within 5 s with status 0; `end` says how.
  void EndTheSession(bool displayCloses, hktest::TEnd* end) {
    if (displayCloses) {
      XCloseDisplay(D);
      D = nullptr;
      Server.Stop();
    } else {
      kill(Child, SIGTERM);
    }
    *end = hktest::WatchTheEnd(Child, 5);
    if (end->Exited) Child = -1;
    ASSERT_TRUE(end->Exited) << "still running 5 s after the end began, " << end->Cpu << " CPU seconds in its first 2 s";
    EXPECT_TRUE(WIFEXITED(end->WaitStatus) && WEXITSTATUS(end->WaitStatus) == 0) << "status " << end->WaitStatus;
  }
  std::string ProgramLog() {
    std::stringstream log;
    log << std::ifstream(ProgramDir / "program.log").rdbuf();
    return log.str();
  }
  // A message box of the program's: a viewable window of its title above
  // the main window.
  Window Box() {
    const Window w = FindWindow("Hanakumo Dictionary");
    return w != 0 && w != Win ? w : 0;
  }
  // Types a name of lower-case letters, digits and dots.
  void TypeName(const std::string& name) {
    for (char c : name)
      ASSERT_NO_FATAL_FAILURE(Key(c == '.' ? XK_period : c >= '0' && c <= '9' ? XK_0 + (c - '0') : XK_a + (c - 'a')));
  }
  // On the settings page: the file name field emptied, `name` typed in
  // (relative to the program's folder, where it runs), and Apply.
  void ApplyDictionaryName(const std::string& name) {
    ClickAndLetItLand(FileFieldX, FileFieldY);
    ASSERT_NO_FATAL_FAILURE(Key(XK_End));
    for (int i = 0; i < 120; ++i) ASSERT_NO_FATAL_FAILURE(Key(XK_BackSpace));
    ASSERT_NO_FATAL_FAILURE(TypeName(name));
    Click(ApplyX, ApplyY);
  }

  bool HasSize(int width, int height) {
    XWindowAttributes a = Attributes();
    return a.width == width && a.height == height;
  }

  // The search page laid out and painted for a window `width` x `height`:
  // the list column grey, the result pane white to its bottom right.
  bool PagePaintedAt(int width, int height) {
    if (!HasSize(width, height)) return false;
    TShot s = Shot();
    return !s.Empty() && ListGrey(s.At(90, height - 100)) && White(s.At(width - 80, height - 100));
  }
};

}  // namespace hktest
