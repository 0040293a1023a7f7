// A private X server for one test, with or without a window manager: Xvfb
// picks a free display number itself, openbox runs on it when asked. Both are
// ended by their process ids when the object goes.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

extern char** environ;

namespace hktest {

enum class TWindowManager { NoWindowManager, Openbox };

inline const char* WindowManagerName(TWindowManager wm) {
  return wm == TWindowManager::NoWindowManager ? "NoWindowManager" : "Openbox";
}
inline void PrintTo(TWindowManager wm, std::ostream* out) { *out << WindowManagerName(wm); }

class TPrivateDisplay {
 public:
  TPrivateDisplay() = default;
  TPrivateDisplay(const TPrivateDisplay&) = delete;
  TPrivateDisplay& operator=(const TPrivateDisplay&) = delete;
  ~TPrivateDisplay() { Stop(); }

  // Starts the server (and the window manager); an empty string on success,
  // else what went wrong.
  std::string Start(TWindowManager wm) {
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string fd = std::to_string(fds[1]);
    std::vector<std::string> args{"Xvfb", "-displayfd", fd, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"};
    int rc = Spawn("Xvfb", args, &actions, environ, &FServer);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      close(fds[0]);
      return std::string("cannot start Xvfb: ") + std::strerror(rc);
    }
    // Xvfb writes the display number once it listens.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    close(fds[0]);
    if (number.empty()) return "Xvfb gave no display number";
    FName = ":" + number;
    if (wm == TWindowManager::NoWindowManager) return "";

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
      if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.emplace_back(*e);
    env.push_back("DISPLAY=" + FName);
    std::vector<char*> envp;
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    rc = Spawn("openbox", {"openbox", "--sm-disable"}, &actions, envp.data(), &FWindowManager);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return std::string("cannot start openbox: ") + std::strerror(rc);
    // Ready once it names its check window on the root.
    Display* d = XOpenDisplay(FName.c_str());
    if (d == nullptr) return "cannot open " + FName;
    bool ready = false;
    for (int i = 0; i < 400 && !ready; ++i) {
      ready = NamesItsCheckWindow(d);
      if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    // It names that window before it takes map requests: a window mapped
    // that early may never be managed. Ready once it manages one of ours.
    if (ready) ready = ManagesAWindow(d);
    XCloseDisplay(d);
    return ready ? "" : "openbox did not start on " + FName;
  }

  const std::string& Name() const { return FName; }

  // Starts a notification area on the display: one beside the window
  // manager (`trayer --edge bottom`), or one that is the window manager
  // itself (jwm with its tray, on a display started without one). Ready
  // once it owns the screen's tray selection and, where a window manager
  // runs, manages windows; an empty string then, else what went wrong.
  std::string StartTray(const std::vector<std::string>& command) {
    // env(1) names the display and becomes the program.
    std::vector<std::string> args{"env", "DISPLAY=" + FName};
    args.insert(args.end(), command.begin(), command.end());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    FTrays.push_back(-1);
    int rc = Spawn("env", args, &actions, environ, &FTrays.back());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return "cannot start " + command[0] + ": " + std::strerror(rc);
    Display* d = XOpenDisplay(FName.c_str());
    if (d == nullptr) return "cannot open " + FName;
    Atom selection = XInternAtom(d, "_NET_SYSTEM_TRAY_S0", False);
    bool ready = false;
    for (int i = 0; i < 1200 && !ready; ++i) {
      ready = XGetSelectionOwner(d, selection) != None;
      if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (ready && NamesItsCheckWindow(d)) ready = ManagesAWindow(d);
    XCloseDisplay(d);
    return ready ? "" : command[0] + " did not start a tray on " + FName;
  }

  void Stop() {
    for (pid_t& tray : FTrays) End(tray);
    FTrays.clear();
    End(FWindowManager);
    End(FServer);
  }

 private:
  static int Spawn(const char* program, const std::vector<std::string>& args, posix_spawn_file_actions_t* actions,
                   char* const* envp, pid_t* pid) {
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    return posix_spawnp(pid, program, actions, nullptr, argv.data(), envp);
  }

  static void End(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    // A second of grace, then it is killed.
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid, nullptr, WNOHANG) == pid) {
        pid = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
  }

  // Whether a window manager runs: it names its check window on the root.
  static bool NamesItsCheckWindow(Display* d) {
    Atom type;
    int format;
    unsigned long n = 0, after;
    unsigned char* data = nullptr;
    const bool named = XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False),
                                          0, 1, False, XA_WINDOW, &type, &format, &n, &after, &data) == Success &&
                       data != nullptr && n == 1;
    if (data) XFree(data);
    return named;
  }

  // Maps a probe window until the window manager gives it a WM_STATE (a
  // map request it dropped is asked again), then takes it away.
  static bool ManagesAWindow(Display* d) {
    Window probe = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    Atom wmState = XInternAtom(d, "WM_STATE", False);
    bool managed = false;
    for (int i = 0; i < 600 && !managed; ++i) {
      if (i % 20 == 0) {
        XUnmapWindow(d, probe);
        XMapWindow(d, probe);
        XSync(d, False);
      }
      Atom type;
      int format;
      unsigned long n = 0, after;
      unsigned char* data = nullptr;
      managed = XGetWindowProperty(d, probe, wmState, 0, 2, False, wmState, &type, &format, &n, &after, &data) ==
                    Success &&
                data != nullptr && n >= 1;
      if (data) XFree(data);
      if (!managed) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    XDestroyWindow(d, probe);
    XSync(d, False);
    return managed;
  }

  pid_t FServer = -1, FWindowManager = -1;
  std::vector<pid_t> FTrays;
  std::string FName;
};

}  // namespace hktest
