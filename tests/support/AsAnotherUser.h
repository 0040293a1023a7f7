// Runs a piece of a test, or a program, in a child process as a user
// without rights to the test's files (nobody), as a test run by root must
// to see a refusal that root's rights would override.
#pragma once
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

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

// Starts the program as nobody in its folder, which is opened to it, with
// only this environment; its output is appended to the log. The child's id.
inline pid_t SpawnAsNobody(const std::string& program, const std::string& folder, std::vector<std::string> env,
                           const std::string& log) {
  ::chmod(folder.c_str(), 0777);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    if (::chdir(folder.c_str()) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(100);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    ::execve(program.c_str(), argv, envp.data());
    ::_exit(101);
  }
  return pid;
}

}  // namespace hktest
