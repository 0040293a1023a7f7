// The card's end at SIGTERM (a logout), headless, from a program directory
// of its own: the time from the signal to the program's exit with a 100 MB
// config.ini of several shapes, against copying that file once (read,
// written anew and flushed to the disk, as the save flushes it). The end
// saves the settings into the file, so it may cost one pass over the file
// and one rewrite of it, whatever its lines, no more.
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
// The card's section is at the file's start or at its end.
bool Saved(const fs::path& config) {
  std::ifstream in(config, std::ios::binary);
  std::string head(4096, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  in.clear();
  in.seekg(-4096, std::ios::end);
  if (!in) in.seekg(0);
  in.clear();
  const std::string ends = head + std::string((std::istreambuf_iterator<char>(in)), {});
  return ends.find("FirstRun=0") != std::string::npos && ends.find("Alpha=120") != std::string::npos;
}

// Copying the file once, as a rewrite of it must: read whole, written to a
// new file, flushed.
double CopyMs(const fs::path& from) {
  const fs::path to = from.string() + ".copy";
  const auto start = Clock::now();
  {
    std::ifstream in(from, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const int fd = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (size_t done = 0; fd >= 0 && done < bytes.size();) {
      const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    if (fd >= 0) {
      fsync(fd);
      close(fd);
    }
  }
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  fs::remove(to);
  return ms;
}

// 100 MB of lines made by `line` (given the line's number, it writes the
// line and says its length).
template <typename Line>
void WriteLines(std::ofstream& out, Line line) {
  char text[32];
  for (size_t size = 0, i = 0; size < 100u * 1024 * 1024; ++i) {
    const int n = line(text, sizeof text, i);
    out.write(text, n);
    size += static_cast<size_t>(n);
  }
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
  const std::string keys = "FirstRun=1\nAlpha=120\nRefreshTime=600000\nDictionaryFileName=" +
                           (dir / "dict.txt").string() + "\n";
  const fs::path config = dir / "config.ini";

  std::ofstream(config) << "[Card]\n" << keys;
  const double small = EndMs(dir, program);
  const bool smallSaved = Saved(config);
  std::printf("ROW | card's end from SIGTERM, a small config.ini (saved: %s) | ours %.0f ms\n", smallSaved ? "yes" : "no",
              small);
  bool ok = small > 0 && smallSaved;

  auto keyLine = [](char* text, size_t room, size_t i) { return std::snprintf(text, room, "k%zu=v\n", i); };
  auto shortLine = [](char* text, size_t room, size_t) { return std::snprintf(text, room, "x\n"); };
  const struct {
    const char* Shape;
    bool CardFirst;  // [Card] and its keys before the lines, or after them in a section of their own
    bool KeyLines;
  } shapes[] = {
      {"[Other] of key lines, then [Card]", false, true},
      {"[Card] of 50 million short lines", true, false},
      {"[Card] of key lines", true, true},
  };
  for (const auto& shape : shapes) {
    {
      std::ofstream out(config);
      out << (shape.CardFirst ? "[Card]\n" + keys : "[Other]\n");
      if (shape.KeyLines)
        WriteLines(out, keyLine);
      else
        WriteLines(out, shortLine);
      if (!shape.CardFirst) out << "[Card]\n" << keys;
    }
    const double fileMiB = static_cast<double>(fs::file_size(config)) / (1 << 20);
    const double copy = CopyMs(config);
    const double large = EndMs(dir, program);
    const bool largeSaved = Saved(config);
    std::printf("ROW | card's end from SIGTERM, config.ini of %.0f MB: %s (saved: %s) | ours %.0f ms | "
                "copying the file once %.0f ms | ratio %.2f\n",
                fileMiB, shape.Shape, largeSaved ? "yes" : "no", large, copy, copy > 0 ? large / copy : 0.0);
    ok = ok && large > 0 && largeSaved;
  }
  fs::remove_all(dir, ec);
  return ok ? 0 : 1;
}
