// The card's end at SIGTERM (a logout), headless, from a program directory
// of its own: the time from the signal to the program's exit with a 100 MB
// config.ini against the same with a small one. The end saves the settings
// into the file, so the large file may cost one rewrite of it, no more.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The processor ticks the process has used so far; -1 once it is gone.
long long CpuTicks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  long long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 3 && field == "Z") return -1;
    if (i == 14) utime = std::stoll(field);
    if (i == 15) {
      stime = std::stoll(field);
      break;
    }
  }
  return utime + stime;
}

// Milliseconds from SIGTERM to the exit of a card started on that
// config.ini, once its start is over (it has used no processor time for
// half a second); -1 when it did not end well.
double EndMs(const fs::path& dir, const std::string& program) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, "HANAKUMO_DRIVER=", 16) != 0 && std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0)
      env.emplace_back(*e);
  env.push_back("HANAKUMO_DRIVER=headless");
  env.push_back("XDG_CONFIG_HOME=" + (dir / "config").string());
  std::vector<char*> envp;
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  const std::string log = (dir / "program.log").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  long long last = CpuTicks(pid);
  auto still = Clock::now();
  const auto giveUp = Clock::now() + std::chrono::seconds(60);
  while (Clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const long long now = CpuTicks(pid);
    if (now < 0) break;
    if (now != last) {
      last = now;
      still = Clock::now();
    } else if (Clock::now() - still > std::chrono::milliseconds(500)) {
      break;
    }
  }
  const auto start = Clock::now();
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

// The saved file says the end wrote it: FirstRun went to 0 at its end.
bool Saved(const fs::path& config) {
  std::ifstream in(config, std::ios::binary);
  in.seekg(-4096, std::ios::end);
  if (!in) in.seekg(0);
  in.clear();
  std::string tail((std::istreambuf_iterator<char>(in)), {});
  return tail.find("FirstRun=0") != std::string::npos && tail.find("Alpha=120") != std::string::npos;
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("hk-bench-card-end-" + std::to_string(getpid()));
  fs::create_directories(dir / "config");
  const std::string program = (dir / "HanakumoCard").string();
  std::error_code ec;
  fs::create_hard_link(fs::path(HK_PROGRAM_DIR) / "HanakumoCard", program, ec);
  if (ec) fs::copy_file(fs::path(HK_PROGRAM_DIR) / "HanakumoCard", program, ec);
  if (ec) {
    std::printf("bench_card_end: no program: %s\n", ec.message().c_str());
    return 1;
  }
  std::ofstream(dir / "dict.txt") << "水 [みず] /(n) water/(P)/\n火 [ひ] /(n) fire/\n";
  const std::string keys = "[Card]\nFirstRun=1\nAlpha=120\nRefreshTime=600000\nDictionaryFileName=" +
                           (dir / "dict.txt").string() + "\n";
  const fs::path config = dir / "config.ini";

  std::ofstream(config) << keys;
  const double small = EndMs(dir, program);
  const bool smallSaved = Saved(config);

  {
    std::ofstream out(config);
    out << "[Other]\n";
    char line[32];
    for (size_t size = 0, i = 0; size < 100u * 1024 * 1024; ++i) {
      const int n = std::snprintf(line, sizeof line, "k%zu=v\n", i);
      out.write(line, n);
      size += static_cast<size_t>(n);
    }
    out << keys;
  }
  const double fileMiB = static_cast<double>(fs::file_size(config)) / (1 << 20);
  const double large = EndMs(dir, program);
  const bool largeSaved = Saved(config);
  fs::remove_all(dir, ec);

  std::printf("ROW | card's end from SIGTERM, config.ini of %.0f MB (saved: %s), bound 5000 ms | ours %.0f ms | "
              "the same with a small config.ini (saved: %s) %.0f ms | ratio %.2f\n",
              fileMiB, largeSaved ? "yes" : "no", large, smallSaved ? "yes" : "no", small,
              small > 0 ? large / small : 0.0);
  return small > 0 && large > 0 && smallSaved && largeSaved && large < 5000 ? 0 : 1;
}
