// The dictionary program end to end, headless, on the full dictionary:
// start-up to a shown main window against decoding the file alone, and
// searches with their classification against the engine's bare scan.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "classlib/Forms.h"
#include "dict/DataFiles.h"
#include "dict/DictionaryProgram.h"
#include "dict/LoadingForm.h"
#include "dict/MainForm.h"
#include "platform/text/FontEngine.h"
#include "unicode/WideUnicode.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

long PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

template <typename F>
double Best(int runs, F&& f) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    f();
    best = std::min(best, Ms(t0, Clock::now()));
  }
  return best;
}

}  // namespace

int main() {
  const std::string file = HK_PROGRAM_DIR "/edict.txt";
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "bench_dict: %s not found\n", file.c_str());
    return 1;
  }
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string raw = bytes.str();

  InitializeDictionaryProgram();
  ConfigFileName = "/nonexistent/config.txt";
  DictFileName = file;

  // Start-up: read, split, join and decode the file, then make the windows.
  const double decode = Best(3, [&] { volatile size_t n = UTF8ToWide(raw).size(); (void)n; });
  auto t0 = Clock::now();
  Application->Initialize();
  TLoadingForm* loading = CreateFormOf<TLoadingForm>(Application);
  loading->Show();
  loading->Update();
  DictionaryText = std::make_shared<const WideString>(ReadDictionaryText(file));
  LoadMarkersFrom(HK_PROGRAM_DIR "/markers.txt");
  Application->CreateForm(HanakumoForm);
  HanakumoForm->Show();
  HanakumoForm->Update();
  FreeComponent(loading);
  const double startup = Ms(t0, Clock::now());
  std::printf("ROW | start-up to a shown main window, %zu MB dictionary | ours %.2f ms | UTF-8 decoding alone %.2f ms | ratio %.2f\n",
              raw.size() >> 20, startup, decode, startup / decode);

  for (const char16_t* word : {u"water", u"みず", u"ter", u"a"}) {
    const WideString query(word);
    const std::string name = WideToUTF8(query);
    // The bare scan: the same engine and text, no handler.
    TURESearch bare(nullptr);
    int64_t matches = 0;
    bare.OnMatch = [&](int64_t, int64_t) { ++matches; };
    const double scan = Best(3, [&] {
      matches = 0;
      bare.ClearMatches();
      bare.PreparePattern(query, 8);
      bare.FindAllMatches(*DictionaryText);
    });
    HanakumoForm->edtSearch->SetText(query);
    const double search = Best(2, [&] {
      WORD key = VK_RETURN;
      HanakumoForm->edtSearchKeyDown(HanakumoForm->edtSearch, key, 0);
    });
    std::printf("ROW | search \"%s\": %lld matches, %d exact + %d similar entries, peak %ld MiB | ours %.2f ms | bare scan %.2f ms | ratio %.2f\n",
                name.c_str(), static_cast<long long>(matches), HanakumoForm->ExactCount(), HanakumoForm->SimiliarCount(),
                PeakRssMiB(), search, scan, search / scan);
  }
  DoneApplication();
  return 0;
}
