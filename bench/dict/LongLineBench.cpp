// The dictionary program on a dictionary of one 50 MB line: "a" searched
// with Enter until the window has painted the entry in its result pane,
// headless. Its peak memory against the text it holds (as UTF-16), and its
// time against the engine's bare scan of the same text.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/BenchMemory.h"
#include "bench/BenchTiming.h"
#include "classlib/Forms.h"
#include "dict/DataFiles.h"
#include "dict/DictionaryProgram.h"
#include "dict/MainForm.h"
#include "platform/drivers/headless/Headless.h"
#include "unicode/search/URESearch.h"

int main() {
  namespace fs = std::filesystem;
  const std::string file = (fs::temp_directory_path() / ("hk-bench-long-" + std::to_string(getpid()) + ".txt")).string();
  {
    std::ofstream out(file);
    out << "長い [ながい] /(adj-i) long";
    const std::string gloss = "/a gloss of several words";
    for (size_t size = 0; size < 50u * 1024 * 1024; size += gloss.size()) out << gloss;
    out << "/(P)/\n";
  }
  SelectPlatformDriver("headless");
  InitializeDictionaryProgram();
  ConfigFileName = "/nonexistent/config.txt";
  DictFileName = file;
  Application->Initialize();
  DictionaryText = std::make_shared<const WideString>(ReadDictionaryText(file));
  fs::remove(file);
  Application->CreateForm(HanakumoForm);
  HanakumoForm->Show();
  HanakumoForm->Update();
  const double textMiB = static_cast<double>(DictionaryText->size() * sizeof(char16_t)) / (1 << 20);

  TURESearch bare(nullptr);
  const double scan = BestMs([&] {
    bare.ClearMatches();
    bare.PreparePattern(u"a", 8);
    bare.FindAllMatches(*DictionaryText);
  }, 2);
  bare.ClearMatches();
  malloc_trim(0);

  HanakumoForm->edtSearch->SetText(u"a");
  HanakumoForm->edtSearch->SetFocus();
  HeadlessPumpMessages();
  const auto t0 = std::chrono::steady_clock::now();
  HeadlessKeyPress(VK_RETURN);
  HeadlessPumpMessages();
  HanakumoForm->pbResult->Repaint();
  HeadlessPumpMessages();
  const double felt = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  const double peak = PeakMiB();
  const bool shown = !HanakumoForm->CurrentLine().empty();
  std::printf("ROW | \"a\" on one 50 MB line, Enter to the entry painted in the pane (%s), peak %.0f MiB = %.2f x "
              "the UTF-16 text (bound 4) | ours %.2f ms | bare scan %.2f ms | ratio %.2f\n",
              shown ? "shown" : "NOT shown", peak, peak / textMiB, felt, scan, felt / scan);
  DoneApplication();
  return shown && peak <= 4 * textMiB ? 0 : 1;
}
