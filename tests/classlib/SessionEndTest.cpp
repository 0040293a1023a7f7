// The end of the session on a real program: a signal closes it in order,
// its form's OnDestroy saves its settings, and it exits with status 0,
// from its run, a modal loop or a long job alike, once.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "TestUtil.h"

extern char** environ;

namespace {

// Starts the program, waits until it waits, sends the signals and returns
// its exit status (-1: it did not end in time or died of a signal).
int RunAndSignal(const std::string& settings, const char* mode, std::initializer_list<int> signals) {
  std::string exe = HK_BINARY_DIR "/tests/session_end_program";
  char* argv[] = {exe.data(), const_cast<char*>(settings.c_str()), const_cast<char*>(mode), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ) != 0) return -2;
  auto until = [](auto done, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
  };
  bool ready = until([&] { return std::filesystem::exists(settings + ".ready"); }, 10000);
  for (int sig : signals) kill(pid, sig);
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
