// What every test of the card on a real X server shares: a private
// display (with or without openbox), a program directory of the card's own
// with its dictionary and config.ini, the test notification area, and ways
// to find, read and drive the card's windows through XTest.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
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

#include "tests/support/AsAnotherUser.h"
#include "tests/x11/PrivateDisplay.h"

namespace hktest {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The tray menu's items, from the menu window's top: a border of 2, items
// of 22 and separators of 9.
constexpr int kLockY = 2 + 22 + 11;
constexpr int kExitY = 2 + 3 * 22 + 9 + 22 + 9 + 22 + 9 + 11;

inline int IgnoreXError(Display*, XErrorEvent*) { return 0; }

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
    StopCompositor();
    for (pid_t* p : {&Card, &Tray})
      if (*p > 0) {
        kill(*p, SIGKILL);
        waitpid(*p, nullptr, 0);
        *p = -1;
      }
    for (TCardProcess& other : OtherCards)
      if (other.Pid > 0) {
        kill(other.Pid, SIGKILL);
        waitpid(other.Pid, nullptr, 0);
        other.Pid = -1;
      }
    if (HasFailure() && !Dir.empty()) {
      std::stringstream text;
      text << std::ifstream(Dir / "program.log").rdbuf();
      std::fprintf(stderr, "--- the program's output ---\n%s\n", text.str().c_str());
      for (const TCardProcess& other : OtherCards) {
        std::stringstream more;
        more << std::ifstream(other.Dir / "program.log").rdbuf();
        std::fprintf(stderr, "--- %s ---\n%s\n", other.Dir.filename().c_str(), more.str().c_str());
      }
    }
    if (D != nullptr) XCloseDisplay(D);
    std::error_code ec;
    if (!Dir.empty()) fs::remove_all(Dir, ec);
  }

  void WriteConfig(const std::string& keys) { WriteConfigIn(Dir, keys); }
  std::string ReadConfig() { return ReadConfigIn(Dir); }
  static void WriteConfigIn(const fs::path& dir, const std::string& keys) {
    std::ofstream(dir / "config.ini") << "[Card]\nDictionaryFileName=" << (dir / "dict.txt").string() << "\n" << keys;
  }
  static std::string ReadConfigIn(const fs::path& dir) {
    std::stringstream text;
    text << std::ifstream(dir / "config.ini").rdbuf();
    return text.str();
  }

  // Variables (NAME=value) the programs get in place of the inherited ones.
  std::vector<std::string> ExtraEnv;

  // A card beside the first, as a second user program would run: from a
  // program directory of its own, with its own config.ini and settings.
  struct TCardProcess {
    fs::path Dir;
    pid_t Pid = -1;
  };
  std::vector<TCardProcess> OtherCards;
  TCardProcess& StartAnotherCard(const std::string& keys) {
    TCardProcess card;
    card.Dir = Dir / ("card" + std::to_string(OtherCards.size() + 2));
    fs::create_directories(card.Dir / "config");
    std::error_code ec;
    fs::create_hard_link(HK_CARD_PROGRAM, card.Dir / "HanakumoCard", ec);
    if (ec) fs::copy_file(HK_CARD_PROGRAM, card.Dir / "HanakumoCard", ec);
    EXPECT_FALSE(ec) << ec.message();
    fs::copy_file(Dir / "dict.txt", card.Dir / "dict.txt", ec);
    WriteConfigIn(card.Dir, keys);
    card.Pid = Spawn((card.Dir / "HanakumoCard").string(), {}, (card.Dir / "program.log").string(), card.Dir);
    OtherCards.push_back(card);
    return OtherCards.back();
  }
  // The card window of the program `pid` (by its _NET_WM_PID), 0 while none.
  Window CardOf(pid_t pid) {
    const Atom netPid = XInternAtom(D, "_NET_WM_PID", False);
    for (Window w : TopWindows()) {
      char* name = nullptr;
      bool card = XFetchName(D, w, &name) && name != nullptr && std::strcmp(name, "Card") == 0;
      if (name) XFree(name);
      if (!card) continue;
      Atom type;
      int format;
      unsigned long n = 0, after;
      unsigned char* data = nullptr;
      long owner = -1;
      if (XGetWindowProperty(D, w, netPid, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after, &data) == Success &&
          data != nullptr && n == 1)
        owner = *reinterpret_cast<long*>(data);
      if (data) XFree(data);
      if (owner == pid) return w;
    }
    return 0;
  }

  pid_t Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& log) {
    return Spawn(program, args, log, Dir);
  }
  // Run in `dir`, with its settings under dir/config.
  pid_t Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& log,
              const fs::path& dir) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      if (std::strncmp(*e, "HANAKUMO_DRIVER=", 16) == 0 || std::strncmp(*e, "DISPLAY=", 8) == 0 ||
          std::strncmp(*e, "XDG_CONFIG_HOME=", 16) == 0)
        continue;
      if (std::any_of(ExtraEnv.begin(), ExtraEnv.end(),
                      [&](const std::string& v) { return std::strncmp(*e, v.c_str(), v.find('=') + 1) == 0; }))
        continue;
      env.emplace_back(*e);
    }
    env.insert(env.end(), ExtraEnv.begin(), ExtraEnv.end());
    env.push_back("DISPLAY=" + Server.Name());
    env.push_back("XDG_CONFIG_HOME=" + (dir / "config").string());
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
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
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

  // A compositing manager (xcompmgr or picom), running once it owns the
  // screen's _NET_WM_CM_S0; stopped with the test at the latest.
  pid_t Compositor = -1;
  bool CompositorRunning() { return XGetSelectionOwner(D, XInternAtom(D, "_NET_WM_CM_S0", False)) != None; }
  void StartCompositor(const std::string& name) {
    std::vector<std::string> args;
    if (name == "picom") args = {"--backend", "xrender", "--config", "/dev/null"};
    Compositor = Spawn("/usr/bin/" + name, args, (Dir / (name + ".log")).string());
    ASSERT_GT(Compositor, 0);
    ASSERT_TRUE(WaitFor([&] { return CompositorRunning(); }, 10)) << name << " did not start";
  }
  void StopCompositor() {
    if (Compositor <= 0) return;
    kill(Compositor, SIGTERM);
    waitpid(Compositor, nullptr, 0);
    Compositor = -1;
  }
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
  // A plain window of ours, shown: override-redirect unless asked for an
  // ordinary one.
  Window MakeWindow(int x, int y, int w, int h, long events, bool overrideRedirect = true) {
    Window win = XCreateSimpleWindow(D, DefaultRootWindow(D), x, y, static_cast<unsigned>(w),
                                     static_cast<unsigned>(h), 0, 0, 0x808080);
    XSetWindowAttributes a{};
    a.override_redirect = overrideRedirect ? True : False;
    XChangeWindowAttributes(D, win, CWOverrideRedirect, &a);
    XSelectInput(D, win, events);
    XMapRaised(D, win);
    XSync(D, False);
    return win;
  }
  // The tray icon's window, once WaitForCardAndIcon saw it docked.
  Window Icon = 0;
  // The card shown and its icon docked.
  bool WaitForCardAndIcon() {
    Window card = 0;
    const bool shown = WaitFor([&] { return (card = FindTop("Card")) != 0 && Viewable(card); }, 30);
    EXPECT_TRUE(shown) << "no card";
    const bool docked = shown && WaitFor([&] { return (Icon = DockedIcon()) != 0; }, 10);
    EXPECT_TRUE(docked) << "the icon did not dock";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the fade-in
    return docked;
  }
  // A menu item chosen as a hand does: the pointer on it, then a click.
  void ChooseItem(Window menu, int y) {
    auto [mx, my] = Origin(menu);
    XTestFakeMotionEvent(D, DefaultScreen(D), mx + 30, my + y, CurrentTime);
    XSync(D, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    Click(mx + 30, my + y, 1);
  }
  // The card started as the user nobody, in a program directory open to it.
  void StartCardAsNobody() {
    Card = hktest::SpawnAsNobody((Dir / "HanakumoCard").string(), Dir.string(),
                                 {"DISPLAY=" + Server.Name(), "XDG_CONFIG_HOME=" + (Dir / "config").string(),
                                  "HOME=" + Dir.string(), "PATH=/usr/bin:/bin"},
                                 (Dir / "program.log").string());
  }
  // The card run by a user who may not write its config.ini (made with
  // `keys`), as from a system-wide install, with its notification area;
  // the file's text before.
  std::string StartWithAReadOnlyConfig(const std::string& keys) {
    WriteConfig(keys);
    const std::string before = ReadConfig();
    EXPECT_EQ(chmod((Dir / "config.ini").c_str(), 0444), 0);
    StartTray();
    StartCardAsNobody();
    return before;
  }
  // Logout as the server sees it: our connection, the window manager and
  // the server go.
  void CloseTheDisplay() {
    XCloseDisplay(D);
    D = nullptr;
    Server.Stop();
  }
};

class CardUnderAWindowManagerTest : public CardOnTheDisplayTest {
 protected:
  hktest::TWindowManager WindowManager() const override { return hktest::TWindowManager::Openbox; }
};

}  // namespace hktest
