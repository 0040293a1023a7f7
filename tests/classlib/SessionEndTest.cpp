// The end of the session on a real program: a signal closes it in order,
// its form's OnDestroy saves its settings, and it exits with status 0,
// from its run, a modal loop or a long job alike, once.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>
#include <string>
#include <thread>

#include "TestUtil.h"

extern char** environ;

namespace {

// Starts the program, waits until it waits, sends the signals and returns
// its exit status (-1: it did not end in time or died of a signal).
// With `display`, the program runs on that X display and `end` closes it
// instead of the signals.
int RunAndSignal(const std::string& settings, const char* mode, std::initializer_list<int> signals,
                 const std::string& display = "", const std::function<void()>& end = {}) {
  std::string exe = HK_BINARY_DIR "/tests/session_end_program";
  char* argv[] = {exe.data(), const_cast<char*>(settings.c_str()), const_cast<char*>(mode), nullptr};
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (display.empty() || (std::strncmp(*e, "HANAKUMO_DRIVER=", 16) != 0 && std::strncmp(*e, "DISPLAY=", 8) != 0))
      env.emplace_back(*e);
  if (!display.empty()) env.push_back("DISPLAY=" + display);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return -2;
  auto until = [](auto done, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
  };
  bool ready = until([&] { return std::filesystem::exists(settings + ".ready"); }, 10000);
  for (int sig : signals) kill(pid, sig);
  if (ready && end) end();
  int status = 0;
  bool reaped = false;
  bool ended = until([&] { return reaped = reaped || waitpid(pid, &status, WNOHANG) == pid; }, 10000);
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  if (!ready || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace

TEST(SessionEnd, ASignalEndsTheProgramInOrderAndItsSettingsAreSaved) {
  struct {
    const char* mode;
    std::initializer_list<int> signals;
    const char* saved;
  } cases[] = {
      {"idle", {SIGTERM}, "saved after query end\n"},
      {"idle", {SIGHUP}, "saved after query end\n"},
      {"idle", {SIGINT}, "saved after query end\n"},
      // In a modal loop or a long job, and a second signal on the first: once.
      {"modal", {SIGTERM, SIGTERM}, "saved after query end modal-left\n"},
      {"busy", {SIGINT, SIGTERM}, "saved after query end busy-left\n"},
  };
  for (auto& c : cases) {
    TempDir dir;
    std::string settings = dir.File("config.ini");
    EXPECT_EQ(RunAndSignal(settings, c.mode, c.signals), 0) << c.mode;
    EXPECT_EQ(TempDir::Read(settings), c.saved) << c.mode;
  }
}

// Logout: the display's connection closes under the program.
TEST(SessionEnd, TheDisplayClosingEndsTheProgramInOrder) {
  if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "no Xvfb";
  // A display of our own, on whatever number is free.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
  const char* xargv[] = {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "640x480x24", nullptr};
  pid_t xvfb = 0;
  ASSERT_EQ(posix_spawn(&xvfb, "/usr/bin/Xvfb", &actions, nullptr, const_cast<char**>(xargv), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  char number[16] = {};
  ssize_t n = read(fds[0], number, sizeof number - 1);
  close(fds[0]);
  ASSERT_GT(n, 0);
  std::string display = ":" + std::string(number, static_cast<size_t>(n - (number[n - 1] == '\n' ? 1 : 0)));
  TempDir dir;
  std::string settings = dir.File("config.ini");
  int status = RunAndSignal(settings, "modal", {}, display, [&] {
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
    xvfb = 0;
  });
  if (xvfb) {
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(TempDir::Read(settings), "saved after query end modal-left\n");
}
