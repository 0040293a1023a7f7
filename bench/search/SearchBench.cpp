// Case-folded scans of the whole dictionary text through FindAllMatches,
// against ripgrep and GNU grep searching the same file, in one run.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "unicode/WideUnicode.h"
#include "unicode/search/URESearch.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rounds = 7;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <class F>
double BestOf(F&& f) {
  double best = 1e30;
  for (int i = 0; i < Rounds; ++i) {
    const auto t0 = Clock::now();
    f();
    best = std::min(best, Ms(Clock::now() - t0));
  }
  return best;
}

// Runs a peer without a shell; its output is read and dropped. -1 when it
// cannot be run.
double TimePeer(const std::vector<std::string>& args, std::string& output) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  double best = 1e30;
  for (int i = 0; i < Rounds; ++i) {
    int fd[2];
    if (pipe(fd) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fd[0]);
    const auto t0 = Clock::now();
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fd[1]);
    if (rc != 0) {
      close(fd[0]);
      return -1;
    }
    output.clear();
    char buf[4096];
    ssize_t n = 0;
    while ((n = read(fd[0], buf, sizeof buf)) > 0) output.append(buf, static_cast<size_t>(n));
    close(fd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    best = std::min(best, Ms(Clock::now() - t0));
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) return -1;
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  return best;
}

}  // namespace

int main() {
  const std::string path = HK_PROGRAM_DIR "/edict.txt";
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "bench_search: cannot read %s\n", path.c_str());
    return 1;
  }
  std::stringstream bytes;
  bytes << in.rdbuf();
  const WideString text = UTF8ToWide(bytes.str());

  struct Word {
    std::u16string wide;
    std::string utf8, label;
    bool regex;  // through the general matcher; the peers in regex mode
  };
  const Word words[] = {{u"water", "water", "\"water\"", false},
                        {u"\u307F\u305A", "\xE3\x81\xBF\xE3\x81\x9A", "kana \"mizu\"", false},
                        {u"wat.r", "wat.r", "pattern \"wat.r\"", true}};
  for (const Word& w : words) {
    TURESearch engine;
    engine.PreparePattern(w.wide, 8);
    int64_t count = 0;
    engine.OnMatch = [&](int64_t, int64_t) { ++count; };
    engine.FindAllMatches(text);  // warm the tables and caches
    const double ours = BestOf([&] {
      count = 0;
      engine.FindAllMatches(text);
    });
    std::string rgOut, grepOut;
    // ripgrep's default is a regex; GNU grep's is a basic one, hence -E.
    std::vector<std::string> rgArgs = {"rg", "-i", "-c", "-e", w.utf8, path};
    if (!w.regex) rgArgs.insert(rgArgs.begin() + 1, "-F");
    const double rg = TimePeer(rgArgs, rgOut);
    const double grep = TimePeer({"grep", w.regex ? "-E" : "-F", "-i", "-c", "-e", w.utf8, path}, grepOut);
    std::printf("# %s: %lld matches (rg %s lines, grep %s lines)\n", w.label.c_str(), static_cast<long long>(count),
                rgOut.c_str(), grepOut.c_str());
    std::printf("ROW | FindAllMatches case-folded %s over edict.txt (%zu UTF-16 units)%s | ours %.2f ms",
                w.label.c_str(), text.size(), w.regex ? ", general matcher" : "", ours);
    if (rg > 0) std::printf(" | rg %.2f ms", rg);
    if (grep > 0) std::printf(" | grep %.2f ms", grep);
    if (rg > 0) std::printf(" | ratio %.2f", ours / rg);
    if (grep > 0) std::printf(" | ratio %.2f", ours / grep);
    std::printf("\n");
  }
  return 0;
}
