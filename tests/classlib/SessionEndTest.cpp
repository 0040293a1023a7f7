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
#include "classlib/controls/ModalLoop.h"
#include "platform/Session.h"
#include "platform/services/MessageBox.h"
#include "tests/support/ProcessTimes.h"

extern char** environ;

namespace {

// Starts the program, waits until it waits, sends the signals and returns
// its exit status (-1: it did not end in time or died of a signal).
// With `display`, the program runs on that X display and `end` closes it
// instead of the signals. `cpu`, when given, gets the CPU seconds the
// program used from the end on.
int RunAndSignal(const std::string& settings, const char* mode, std::initializer_list<int> signals,
                 const std::string& display = "", const std::function<void()>& end = {}, double* cpu = nullptr) {
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
  const double before = hktest::CpuSeconds(pid);
  for (int sig : signals) kill(pid, sig);
  if (ready && end) end();
  int status = 0;
  bool reaped = false;
  rusage usage{};
  bool ended = until([&] { return reaped = reaped || wait4(pid, &status, WNOHANG, &usage) == pid; }, 10000);
  if (cpu) *cpu = hktest::CpuSeconds(usage) - before;
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

// Once the session ends nothing waits for a user: a box is not shown (its
// default button answers) and what it says goes to standard error; a modal
// loop is left at once. Outside an end, boxes are answered again.
TEST(SessionEnd, NothingWaitsForAUserOnceTheSessionEnds) {
  int asked = 0;
  hk::SetMessageBoxAnswerer([&](const hk::MessageBoxRecord&) { return ++asked, IDNO; });
  RequestSessionEnd();
  testing::internal::CaptureStderr();
  const int answer = MessageBoxA(nullptr, "Unable to write to /ro/config.ini.\r\nSecond line", "Program", MB_YESNO);
  // A loop that does not end by itself: a guard ends it after 10 s.
  std::atomic<bool> never{false};
  const DWORD self = GetCurrentThreadId();
  std::thread guard([&] {
    for (int i = 0; i < 1000 && !never; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    never = true;
    PostThreadMessageA(self, WM_NULL, 0, 0);
  });
  const auto start = std::chrono::steady_clock::now();
  RunModalLoop(never);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  never = true;
  guard.join();
  const std::string said = testing::internal::GetCapturedStderr();
  hkwin::ResetSessionEndForTests();
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(answer, IDYES);
  EXPECT_EQ(said, "Program: Unable to write to /ro/config.ini.\nSecond line\n");
  EXPECT_LT(seconds, 5);
  EXPECT_EQ(MessageBoxA(nullptr, "Again", "Program", MB_YESNO), IDNO);
  EXPECT_EQ(asked, 1);
  hk::SetMessageBoxAnswerer(nullptr);
}

// Logout: the display's connection closes under the program.
TEST(SessionEnd, TheDisplayClosingEndsTheProgramInOrder) {
  if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "no Xvfb";
  // In a modal loop; and at work for a second after the end, which a dead
  // connection must not turn into a spin.
  for (const std::string mode : {"modal", "linger"}) {
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
    double cpu = -1;
    int status = RunAndSignal(
        settings, mode.c_str(), {}, display,
        [&] {
          kill(xvfb, SIGTERM);
          waitpid(xvfb, nullptr, 0);
          xvfb = 0;
        },
        &cpu);
    if (xvfb) {
      kill(xvfb, SIGTERM);
      waitpid(xvfb, nullptr, 0);
    }
    EXPECT_EQ(status, 0) << mode;
    EXPECT_EQ(TempDir::Read(settings), "saved after query end" + std::string(mode == "modal" ? " modal-left" : "") + "\n")
        << mode;
    EXPECT_LT(cpu, 0.5) << mode << ": CPU seconds from the end on";
  }
}
