// Runs a piece of a test in a child process as a user without rights to
// the test's files (nobody), as a test run by root must to see a refusal
// that root's rights would override.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace hktest {

constexpr uid_t kNobody = 65534;

// The child's exit code: what `body` returns, or 100 when the user could
// not be changed, 101 when the body raised.
inline int RunAsNobody(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(100);
    int code = 101;
    try {
      code = body();
    } catch (...) {
    }
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace hktest
