// The card program run whole on a real X server with a notification area of
// our own (hk_tray_manager): started from a program directory of its own,
// driven only through XTest, and judged by what the X server shows.
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
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// Xlib's macros clash with GoogleTest's names: it comes last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>

#include "tests/x11/PrivateDisplay.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The tray menu's items, from the menu window's top: a border of 2, items
// of 22 and separators of 9.
constexpr int kLockY = 2 + 22 + 11;
constexpr int kExitY = 2 + 3 * 22 + 9 + 22 + 9 + 22 + 9 + 11;

int IgnoreXError(Display*, XErrorEvent*) { return 0; }

class CardOnTheDisplayTest : public ::testing::Test {
 protected:
  hktest::TPrivateDisplay Server;
  Display* D = nullptr;
  fs::path Dir;
  pid_t Card = -1, Tray = -1;
  int ExitStatus = -1;

  virtual hktest::TWindowManager WindowManager() const { return hktest::TWindowManager::NoWindowManager; }

  void SetUp() override {
    const char* display = std::getenv("HANAKUMO_TEST_DISPLAY");
    if (display == nullptr || *display == 0) GTEST_SKIP() << "HANAKUMO_TEST_DISPLAY is not set";
    ASSERT_EQ(Server.Start(WindowManager()), "");
    XSetErrorHandler(IgnoreXError);
    D = XOpenDisplay(Server.Name().c_str());
    ASSERT_NE(D, nullptr);
    std::string templ = (fs::temp_directory_path() / "hk-card-x11-XXXXXX").string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    Dir = templ;
    fs::create_directories(Dir / "config");
    // The program finds config.ini beside its own executable: a real file.
    std::error_code ec;
    fs::create_hard_link(HK_CARD_PROGRAM, Dir / "HanakumoCard", ec);
    if (ec) fs::copy_file(HK_CARD_PROGRAM, Dir / "HanakumoCard", ec);
    ASSERT_FALSE(ec) << ec.message();
    std::ofstream(Dir / "dict.txt") << "水 [みず] /(n) water/(P)/\n火 [ひ] /(n) fire/\n木 [き] /(n) tree/\n";
  }

  void TearDown() override {
    for (pid_t* p : {&Card, &Tray})
      if (*p > 0) {
        kill(*p, SIGKILL);
        waitpid(*p, nullptr, 0);
        *p = -1;
      }
    if (HasFailure() && !Dir.empty()) {
      std::stringstream text;
      text << std::ifstream(Dir / "program.log").rdbuf();
      std::fprintf(stderr, "--- the program's output ---\n%s\n", text.str().c_str());
    }
    if (D != nullptr) XCloseDisplay(D);
    std::error_code ec;
    if (!Dir.empty()) fs::remove_all(Dir, ec);
  }

  void WriteConfig(const std::string& keys) {
    std::ofstream(Dir / "config.ini") << "[Card]\nDictionaryFileName=" << (Dir / "dict.txt").string() << "\n"
                                      << keys;
  }
  std::string ReadConfig() {
    std::stringstream text;
    text << std::ifstream(Dir / "config.ini").rdbuf();
    return text.str();
  }

  pid_t Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& log) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      if (std::strncmp(*e, "HANAKUMO_DRIVER=", 16) == 0 || std::strncmp(*e, "DISPLAY=", 8) == 0 ||
          std::strncmp(*e, "XDG_CONFIG_HOME=", 16) == 0)
        continue;
      env.emplace_back(*e);
    }
    env.push_back("DISPLAY=" + Server.Name());
    env.push_back("XDG_CONFIG_HOME=" + (Dir / "config").string());
    std::vector<char*> envp;
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> copy = args;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addchdir_np(&actions, Dir.c_str());
    pid_t pid = -1;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0) << program << ": " << std::strerror(rc);
    return pid;
  }
  void StartTray() {
    Tray = Spawn(HK_TRAY_MANAGER, {}, (Dir / "tray.log").string());
    ASSERT_TRUE(WaitFor([&] { return TrayLog().find("ready") != std::string::npos; }, 10));
  }
  void StartCard() { Card = Spawn((Dir / "HanakumoCard").string(), {}, (Dir / "program.log").string()); }
  std::string TrayLog() {
    std::stringstream text;
    text << std::ifstream(Dir / "tray.log").rdbuf();
    return text.str();
  }
  // The icon window the tray docked last, 0 while none.
  Window DockedIcon() {
    std::istringstream lines(TrayLog());
    std::string word, id;
    Window found = 0;
    while (lines >> word >> id)
      if (word == "docked") found = static_cast<Window>(std::stoul(id, nullptr, 16));
    return found;
  }

  bool Exited() {
    if (Card <= 0) return true;
    int status = 0;
    if (waitpid(Card, &status, WNOHANG) != Card) return false;
    ExitStatus = status;
    Card = -1;
    return true;
  }
  template <typename F>
  bool WaitFor(F done, double seconds) {
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (!done()) {
      if (Clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return true;
  }

  std::vector<Window> TopWindows() {
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    std::vector<Window> out;
    if (XQueryTree(D, DefaultRootWindow(D), &root, &parent, &children, &n)) out.assign(children, children + n);
    if (children) XFree(children);
    return out;  // bottom to top
  }
  bool Viewable(Window w) {
    XWindowAttributes a{};
    return XGetWindowAttributes(D, w, &a) && a.map_state == IsViewable;
  }
  // The window named `title`; a window manager puts its frames between the
  // root and the program's windows.
  Window FindTop(const char* title, Window under = 0, int depth = 0) {
    if (under == 0) under = DefaultRootWindow(D);
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (!XQueryTree(D, under, &root, &parent, &children, &n)) return 0;
    for (unsigned i = 0; i < n && found == 0; ++i) {
      char* name = nullptr;
      if (XFetchName(D, children[i], &name) && name != nullptr) {
        if (std::strcmp(name, title) == 0) found = children[i];
        XFree(name);
      } else if (depth < 2) {
        found = FindTop(title, children[i], depth + 1);
      }
    }
    if (children) XFree(children);
    return found;
  }
  // The root's child that holds the window (itself, or its frame).
  Window TopOf(Window w) {
    for (;;) {
      Window root, parent, *children = nullptr;
      unsigned n = 0;
      if (!XQueryTree(D, w, &root, &parent, &children, &n)) return w;
      if (children) XFree(children);
      if (parent == root) return w;
      w = parent;
    }
  }
  // Waits for the card to be hidden and shown again: a new card.
  bool WaitForNewCard(Window card, double seconds) {
    XSelectInput(D, card, StructureNotifyMask);
    bool unmapped = false, mapped = false;
    return WaitFor(
        [&] {
          while (XPending(D) > 0) {
            XEvent ev;
            XNextEvent(D, &ev);
            if (ev.type == UnmapNotify && ev.xunmap.window == card) unmapped = true;
            if (ev.type == MapNotify && ev.xmap.window == card && unmapped) mapped = true;
          }
          return mapped;
        },
        seconds);
  }
  XWindowAttributes Attributes(Window w) {
    XWindowAttributes a{};
    XGetWindowAttributes(D, w, &a);
    return a;
  }
  std::pair<int, int> Origin(Window w) {
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(D, w, DefaultRootWindow(D), 0, 0, &x, &y, &child);
    return {x, y};
  }
  std::vector<uint32_t> Pixels(Window w, int* width, int* height) {
    XWindowAttributes a = Attributes(w);
    *width = a.width;
    *height = a.height;
    std::vector<uint32_t> out;
    XImage* img = XGetImage(D, w, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height), AllPlanes,
                            ZPixmap);
    if (img == nullptr) return out;
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x) out.push_back(static_cast<uint32_t>(XGetPixel(img, x, y)));
    XDestroyImage(img);
    return out;
  }
  std::vector<Atom> States(Window w) {
    Atom type;
    int format;
    unsigned long n = 0, after;
    unsigned char* data = nullptr;
    std::vector<Atom> out;
    if (XGetWindowProperty(D, w, XInternAtom(D, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM, &type, &format, &n,
                           &after, &data) == Success &&
        data != nullptr)
      out.assign(reinterpret_cast<Atom*>(data), reinterpret_cast<Atom*>(data) + n);
    if (data) XFree(data);
    return out;
  }
  void Click(int x, int y, unsigned button) {
    XTestFakeMotionEvent(D, DefaultScreen(D), x, y, CurrentTime);
    XTestFakeButtonEvent(D, button, True, CurrentTime);
    XTestFakeButtonEvent(D, button, False, CurrentTime);
    XFlush(D);
  }
  // Opens the tray menu with a right click on the icon: the new viewable
  // window that appears.
  Window OpenTrayMenu(Window icon) {
    std::vector<Window> before = TopWindows();
    auto [ix, iy] = Origin(icon);
    Click(ix + 12, iy + 12, 3);
    Window menu = 0;
    WaitFor(
        [&] {
          for (Window w : TopWindows())
            if (std::find(before.begin(), before.end(), w) == before.end() && Viewable(w)) menu = w;
          return menu != 0;
        },
        10);
    return menu;
  }
  // A plain window of ours, shown.
  Window MakeWindow(int x, int y, int w, int h, long events) {
    Window win = XCreateSimpleWindow(D, DefaultRootWindow(D), x, y, static_cast<unsigned>(w),
                                     static_cast<unsigned>(h), 0, 0, 0x808080);
    XSetWindowAttributes a{};
    a.override_redirect = True;
    XChangeWindowAttributes(D, win, CWOverrideRedirect, &a);
    XSelectInput(D, win, events);
    XMapRaised(D, win);
    XSync(D, False);
    return win;
  }
};

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

class CardUnderAWindowManagerTest : public CardOnTheDisplayTest {
 protected:
  hktest::TWindowManager WindowManager() const override { return hktest::TWindowManager::Openbox; }
};

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
