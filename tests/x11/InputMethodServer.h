// Debian's input-method servers as a test's input method, both with anthy:
// uim-xim (Shift+Space, uim's default on-key, turns Japanese on) and fcitx5
// over XIM (Ctrl+Space). Each runs in a Japanese UTF-8 locale that the test
// makes itself (localedef into a folder of the build, so the machine's own
// locales stay as they are), with a home of its own, on the test's display;
// the program under test is given the same locale and XMODIFIERS. Space
// converts, Return commits.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "tests/support/TestLocale.h"

extern char** environ;

namespace hktest {

// The inherited environment with `overrides` (NAME=value) in place of the
// variables of their names.
inline std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    bool replaced = false;
    for (const std::string& o : overrides) {
      const size_t eq = o.find('=');
      replaced = replaced || std::strncmp(*e, o.c_str(), eq + 1) == 0;
    }
    if (!replaced) env.emplace_back(*e);
  }
  env.insert(env.end(), overrides.begin(), overrides.end());
  return env;
}

enum class TInputMethodKind { Uim, Fcitx };

class TInputMethodServer {
 public:
  explicit TInputMethodServer(TInputMethodKind kind = TInputMethodKind::Uim) : FKind(kind) {}
  TInputMethodServer(const TInputMethodServer&) = delete;
  TInputMethodServer& operator=(const TInputMethodServer&) = delete;
  ~TInputMethodServer() {
    Stop();
    if (!FHome.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(FHome, ec);
    }
  }

  // The folder that holds ja_JP.UTF-8, for LOCPATH; empty when it cannot
  // be made (the reason in `failure`).
  static std::string LocaleDir(std::string* failure) { return TestLocaleDir("ja_JP", failure); }

  // What the input method and the program are both run with (an empty
  // LC_ALL is none, so LC_CTYPE holds).
  static std::vector<std::string> ProgramEnvironment(const std::string& localeDir,
                                                     TInputMethodKind kind = TInputMethodKind::Uim) {
    return {"LOCPATH=" + localeDir, "LANG=ja_JP.UTF-8", "LC_CTYPE=ja_JP.UTF-8", "LC_ALL=",
            kind == TInputMethodKind::Uim ? "XMODIFIERS=@im=uim" : "XMODIFIERS=@im=fcitx"};
  }

  // Starts the server on the display and waits until it has put its input
  // method there (fcitx5: with anthy loaded); an empty string on success,
  // else what went wrong.
  std::string Start(const std::string& display) {
    std::string failure;
    const std::string locales = LocaleDir(&failure);
    if (locales.empty()) return failure;
    if (FHome.empty()) {
      std::string templ = (std::filesystem::temp_directory_path() / "hk-im-home-XXXXXX").string();
      if (mkdtemp(templ.data()) == nullptr) return "cannot make a home for the input method";
      FHome = templ;
      // fcitx5: Japanese (anthy) beside the plain keyboard, Ctrl+Space between them.
      std::filesystem::create_directories(FHome + "/.config/fcitx5");
      if (FILE* f = std::fopen((FHome + "/.config/fcitx5/profile").c_str(), "w")) {
        std::fputs("[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=anthy\n\n"
                   "[Groups/0/Items/0]\nName=keyboard-us\nLayout=\n\n[Groups/0/Items/1]\nName=anthy\nLayout=\n\n"
                   "[GroupOrder]\n0=Default\n",
                   f);
        std::fclose(f);
      }
    }
    std::vector<std::string> overrides = ProgramEnvironment(locales, FKind);
    overrides.push_back("DISPLAY=" + display);
    overrides.push_back("HOME=" + FHome);
    overrides.push_back("XDG_CONFIG_HOME=" + FHome + "/.config");
    // Its helpers find their sockets there; a machine's own are no business of the test's.
    overrides.push_back("XDG_RUNTIME_DIR=");
    overrides.push_back("DBUS_SESSION_BUS_ADDRESS=");
    std::vector<std::string> env = EnvironmentWith(overrides);
    std::vector<char*> envp;
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = FKind == TInputMethodKind::Uim
                                        ? std::vector<std::string>{"uim-xim", "--engine=anthy-utf8"}
                                        : std::vector<std::string>{"fcitx5", "--disable=wayland,dbus,notificationitem,ibusfrontend",
                                                                   "--verbose=*=4"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Truncated at each start: the log tells this run's readiness.
    posix_spawn_file_actions_addopen(&actions, 1, LogPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    // A group of its own: its helpers end with it.
    posix_spawnattr_t attrs;
    posix_spawnattr_init(&attrs);
    posix_spawnattr_setflags(&attrs, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attrs, 0);
    const int rc = posix_spawnp(&FPid, args[0].c_str(), &actions, &attrs, argv.data(), envp.data());
    posix_spawnattr_destroy(&attrs);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
      FPid = -1;
      return "cannot start " + args[0] + ": " + std::strerror(rc);
    }
    Display* d = XOpenDisplay(display.c_str());
    if (d == nullptr) return "cannot open " + display;
    bool ready = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!ready && std::chrono::steady_clock::now() < end) {
      ready = Offered(d) && (FKind == TInputMethodKind::Uim || Log().find("Loaded addon anthy") != std::string::npos);
      if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    XCloseDisplay(d);
    return ready ? "" : args[0] + " did not put its input method on " + display;
  }

  // Ends it with its helpers: SIGKILL as a crash would (no goodbye to its
  // clients), SIGTERM as a user restarting it.
  void Stop(int signal = SIGKILL) {
    if (FPid <= 0) return;
    kill(-FPid, signal);
    waitpid(FPid, nullptr, 0);
    kill(-FPid, SIGKILL);
    FPid = -1;
  }

  // Its input method is on the display: named in XIM_SERVERS and its
  // selection held (a killed server leaves its name behind).
  bool Offered(Display* d) const {
    const Atom server = XInternAtom(d, FKind == TInputMethodKind::Uim ? "@server=uim" : "@server=fcitx", False);
    Atom type;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    bool named = false;
    if (XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "XIM_SERVERS", False), 0, 64, False, XA_ATOM, &type,
                           &format, &n, &after, &data) == Success &&
        data != nullptr)
      for (unsigned long i = 0; i < n; ++i) named = named || reinterpret_cast<Atom*>(data)[i] == server;
    if (data) XFree(data);
    return named && XGetSelectionOwner(d, server) != None;
  }

  std::string Log() const {
    std::string text;
    if (FILE* f = std::fopen(LogPath().c_str(), "r")) {
      char buffer[4096];
      size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
      std::fclose(f);
    }
    return text;
  }

 private:
  std::string LogPath() const { return FHome + "/server.log"; }

  TInputMethodKind FKind;
  pid_t FPid = -1;
  std::string FHome;
};

// The text another program holds as the CLIPBOARD (UTF-8), read as any
// client reads it; empty when nobody answers within `seconds`.
inline std::string ClipboardText(Display* d, double seconds = 5) {
  const Atom clipboard = XInternAtom(d, "CLIPBOARD", False), utf8 = XInternAtom(d, "UTF8_STRING", False),
             property = XInternAtom(d, "HK_TEST_CLIPBOARD", False);
  Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), -10, -10, 1, 1, 0, 0, 0);
  XConvertSelection(d, clipboard, utf8, property, w, CurrentTime);
  XFlush(d);
  std::string text;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                          std::chrono::duration<double>(seconds));
  XEvent ev;
  while (std::chrono::steady_clock::now() < end) {
    if (XCheckTypedWindowEvent(d, w, SelectionNotify, &ev)) {
      if (ev.xselection.property != None) {
        Atom type;
        int format;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, w, property, 0, 1 << 20, True, AnyPropertyType, &type, &format, &n, &after, &data) ==
                Success &&
            data != nullptr)
          text.assign(reinterpret_cast<char*>(data), n);
        if (data) XFree(data);
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  XDestroyWindow(d, w);
  XFlush(d);
  return text;
}

}  // namespace hktest
