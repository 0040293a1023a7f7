#include "platform/services/Shell.h"
#include "platform/AsciiCase.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <string>
#include <thread>

extern char** environ;

namespace {

HINSTANCE Result(uintptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

bool IsEmpty(const char* text) { return text == nullptr || *text == '\0'; }

}  // namespace

HINSTANCE ShellExecuteA(HWND, const char* operation, const char* file, const char* parameters, const char* directory,
                        INT) {
  if (!IsEmpty(operation) && !hkwin::AsciiSameText(operation, "open")) return Result(SE_ERR_NOASSOC);
  if (IsEmpty(file)) return Result(SE_ERR_FNF);
  // xdg-open takes exactly one address; a leading '-' would read as its option.
  if (!IsEmpty(parameters) || file[0] == '-') return Result(SE_ERR_NOASSOC);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return Result(SE_ERR_FNF);
  if (!IsEmpty(directory)) posix_spawn_file_actions_addchdir_np(&actions, directory);
  std::string program = "xdg-open";
  std::string address = file;
  char* argv[] = {program.data(), address.data(), nullptr};
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return Result(SE_ERR_FNF);
  // Collect the opener's exit so it leaves no zombie behind.
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return Result(SE_ERR_SHELL_OK);
}
