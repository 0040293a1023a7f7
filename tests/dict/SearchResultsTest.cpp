// The result lists of a table of queries on the full dictionary, against
// counts and checksums recorded from the first, plainly written search.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "MainFormTestSupport.h"
#include "dict/ResultLineData.h"
#include "unicode/WideUnicode.h"

namespace {

uint64_t Fnv(uint64_t h, const char16_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    h = (h ^ (p[i] & 0xFF)) * 1099511628211ull;
    h = (h ^ (p[i] >> 8)) * 1099511628211ull;
  }
  return h;
}

// Every item's text and its record's whole line, in list order.
uint64_t ListChecksum(TWideListBox* list) {
  uint64_t h = 1469598103934665603ull;
  const char16_t separator = 0xFFFF;
  for (int i = 0; i < list->Items().Count(); ++i) {
    const WideString text = list->Items()[i];
    h = Fnv(h, text.data(), text.size());
    h = Fnv(h, &separator, 1);
    const auto* record = static_cast<const TResultLineData*>(list->Items().Objects(i));
    const auto line = record->Line();
    h = Fnv(h, line.data(), line.size());
    h = Fnv(h, &separator, 1);
  }
  return h;
}

struct TRecorded {
  const char16_t* Query;
  bool ExactOnly;
  int Exact, Similar;
  uint64_t ExactSum, SimilarSum;
};

// Recorded once from the search as first written (one full parse and
// classification per match) on Debian's EDICT as setup converts it;
// HK_RECORD_SEARCHES=1 prints the table afresh.
constexpr uint64_t kDictionaryUnits = 16958968;
constexpr uint64_t kDictionarySum = 0x3fbe4aac503d1d84ull;
const TRecorded kRecorded[] = {
    {u"water", false, 20, 2046, 0xad260b5c8690f7abull, 0x44ffe6ffc059fe50ull},
    {u"Water", false, 20, 2046, 0xad260b5c8690f7abull, 0x44ffe6ffc059fe50ull},
    {u"WATER", false, 20, 2046, 0xad260b5c8690f7abull, 0x44ffe6ffc059fe50ull},
    {u"ter", false, 0, 25996, 0x14650fb0739d0383ull, 0x7a0d4ea07ed56dd7ull},
    {u"a", false, 5, 722483, 0xee0e7d931f99a923ull, 0xb953441e5e1b3400ull},
    {u"n", false, 2, 813515, 0x83bbb3cc96f80507ull, 0x39e8370e70245878ull},
    {u"P", false, 2, 246917, 0x879f9faefdaef4dbull, 0x5cdabc399af490d4ull},
    {u"vs", false, 0, 12, 0x14650fb0739d0383ull, 0x29b1ac1fdfac9938ull},
    {u"to", false, 39, 114918, 0xc90ef277ea85fc4eull, 0x3f25b22b8bbc3eb9ull},
    {u"water", true, 20, 0, 0xad260b5c8690f7abull, 0x14650fb0739d0383ull},
    {u"a", true, 86, 0, 0x4509fbe4aeb9b63bull, 0x14650fb0739d0383ull},
    {u"Water", true, 20, 0, 0xad260b5c8690f7abull, 0x14650fb0739d0383ull},
    {u"みず", false, 4, 604, 0x93df00d53d999062ull, 0x424439fb9d042f31ull},
    {u"みず", true, 4, 0, 0x93df00d53d999062ull, 0x14650fb0739d0383ull},
    {u"水", false, 3, 1585, 0xf63da47377203b72ull, 0xea682a89ed5e7bdcull},
    {u"の", false, 9, 17655, 0x15a78186d01d79d5ull, 0x736d882ebf7c4ec4ull},
    {u"ア", false, 1, 13946, 0xfe7149379bc8fe7bull, 0x247c361e0f76cd78ull},
    {u"ー", false, 1, 51342, 0x40c1396e7c9c07f8ull, 0xa4885390030ea5e3ull},
    {u"日本", false, 2, 254, 0x2285b849d845e1ccull, 0x907a20f7cec5dafaull},
    {u"\uFF21", false, 4, 314, 0xbcde5150d4957583ull, 0xb6404e46140b5650ull},
    {u"\u0131", false, 0, 0, 0x14650fb0739d0383ull, 0x14650fb0739d0383ull},
    {u"\u212A", false, 12, 84696, 0x7d607a40df42750bull, 0x3138c8a01f9510d5ull},
};

const WideString& FullDictionary() {
  static const WideString text = [] {
    const std::string file = HK_PROGRAM_DIR "/edict.txt";
    return std::filesystem::exists(file) ? ReadDictionaryText(file) : WideString();
  }();
  return text;
}

}  // namespace

class FullDictionarySearchTest : public MainFormTest {
 protected:
  void SetUp() override {
    MainFormTest::SetUp();
    if (FullDictionary().empty()) GTEST_SKIP() << "no full dictionary in " HK_PROGRAM_DIR;
    DictionaryText = std::make_shared<const WideString>(FullDictionary());
    LoadMarkersFrom(HK_PROGRAM_DIR "/markers.txt");
  }
};

TEST_F(FullDictionarySearchTest, ResultListsMatchTheRecordedOnes) {
  const WideString& text = *DictionaryText;
  const uint64_t textSum = Fnv(1469598103934665603ull, text.data(), text.size());
  const bool record = std::getenv("HK_RECORD_SEARCHES") != nullptr;
  if (record) {
    std::printf("constexpr uint64_t kDictionaryUnits = %zu;\nconstexpr uint64_t kDictionarySum = 0x%016llxull;\n",
                text.size(), static_cast<unsigned long long>(textSum));
  } else if (text.size() != kDictionaryUnits || textSum != kDictionarySum) {
    GTEST_SKIP() << "the dictionary in " HK_PROGRAM_DIR " is not the one the lists were recorded on";
  }
  for (const TRecorded& r : kRecorded) {
    Search(r.Query, r.ExactOnly ? ssCtrl : 0);
    const uint64_t exactSum = ListChecksum(form->lstExactMatch);
    const uint64_t similarSum = ListChecksum(form->lstSimiliarMatch);
    if (record) {
      std::printf("    {u\"%s\", %s, %d, %d, 0x%016llxull, 0x%016llxull},\n", WideToUTF8(r.Query).c_str(),
                  r.ExactOnly ? "true" : "false", form->ExactCount(), form->SimiliarCount(),
                  static_cast<unsigned long long>(exactSum), static_cast<unsigned long long>(similarSum));
      continue;
    }
    SCOPED_TRACE(WideToUTF8(r.Query) + (r.ExactOnly ? " (exact only)" : ""));
    EXPECT_EQ(form->ExactCount(), r.Exact);
    EXPECT_EQ(form->SimiliarCount(), r.Similar);
    EXPECT_EQ(form->lstExactMatch->Items().Count(), r.Exact);
    EXPECT_EQ(form->lstSimiliarMatch->Items().Count(), r.Similar);
    EXPECT_EQ(exactSum, r.ExactSum);
    EXPECT_EQ(similarSum, r.SimilarSum);
  }
}
