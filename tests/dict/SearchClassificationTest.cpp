// The search's classification against a plain one written here from the
// rules (one full parse per match), on lines made to hit every corner:
// groups inside glosses, case twins of markers, unnormalized glosses,
// malformed lines, stray CR and LF. Then a dictionary of one huge line.
#include <sys/resource.h>

#include <random>

#include "MainFormTestSupport.h"
#include "dict/EntryParser.h"
#include "dict/LineBounds.h"
#include "dict/ResultLineData.h"
#include "platform/drivers/headless/Headless.h"
#include "unicode/UnicodeData.h"
#include "unicode/WideUnicode.h"

namespace {

struct TEntry {
  WideString Text;
  WideString Line;
  bool operator==(const TEntry&) const = default;
};

struct TLists {
  std::vector<TEntry> Exact, Similar;
};

// The search as the rules say it: per match the line is cut out and parsed,
// and headword, reading and each gloss (without its groups, trimmed) are
// tried in turn for equality and, unless exact only, case-blind containment.
TLists PlainSearch(const WideString& text, const WideString& query, bool exactOnly) {
  TLists lists;
  TURESearch engine(nullptr);
  engine.PreparePattern(query, 8);
  engine.OnMatch = [&](int64_t start, int64_t stop) {
    const TLineBounds bounds = GetLineAt(text, start, stop);
    const WideString line = text.substr(bounds.LineStart, bounds.LineLength);
    const WideString found = line.substr(static_cast<size_t>(start), static_cast<size_t>(stop - start));
    WideString display, headword, reading;
    TWideStringList glosses;
    bool similar = false;
    ParseEntryLine(line, headword, reading, glosses);
    auto test = [&](const WideString& field) {
      if (field == found) {
        display = field;
      } else if (!exactOnly && WidePosIgnoreCase(found, field) > 0) {
        display = field;
        similar = true;
      }
    };
    test(headword);
    if (display.empty() && !reading.empty()) test(reading);
    for (int i = 0; display.empty() && i < glosses.Count(); ++i) {
      const WideString bare = WideTrimSpace(RemoveParentheses(glosses[i]));
      if (bare.empty()) continue;
      if (bare == found) {
        display = WideTrimSpace(RemoveMarkers(glosses[i]));
      } else if (!exactOnly && WidePosIgnoreCase(found, bare) > 0) {
        display = WideTrimSpace(RemoveMarkers(glosses[i]));
        similar = true;
      }
    }
    if (!display.empty()) (similar ? lists.Similar : lists.Exact).push_back({display, line});
  };
  engine.FindAllMatches(text);
  return lists;
}

std::vector<TEntry> Listed(TWideListBox* list) {
  std::vector<TEntry> entries;
  for (int i = 0; i < list->Items().Count(); ++i) {
    const auto* record = static_cast<const TResultLineData*>(list->Items().Objects(i));
    entries.push_back({list->Items()[i], WideString(record->Line())});
  }
  return entries;
}

// Lines put together from pieces that each stress one rule.
WideString MadeDictionary(unsigned seed, int lines) {
  const std::vector<WideString> headwords = {u"水", u"water", u"Water", u"お水", u"", u"w", u"WATER", u"ウォーター", u"x"};
  const std::vector<WideString> readings = {u"", u"[みず] ", u"[water] ", u"[] ", u"[ みず ] ", u"[みず]/", u"[みず"};
  const std::vector<WideString> glosses = {
      u"water", u"(n) water", u"water (n)", u"to (vs) water", u"(n,vs) water", u"(N) water (n)", u"(n) (N) water",
      u"((n)) water", u"(a(n)b) water", u"water (plants)", u"(P)", u"", u" ", u"e\u0301 water", u"WATER",
      u"Water-side", u"(pol) cold water", u"(n", u"n)", u"water)", u"(water)", u"(n, vs) x", u"(uk) waters",
      u" (n) ", u"\u212Aelvin water", u"(n)water(n)", u"(N)x(n)", u"a ((n) water", u"water(n)water",
      u"(Water) water (water)", u"\u2126 ohm", u"みず (n) 水", u"(n)", u"\uFB01re water", u"\t water \t"};
  std::mt19937 random(seed);
  auto pick = [&](const std::vector<WideString>& from) { return from[random() % from.size()]; };
  WideString text;
  for (int i = 0; i < lines; ++i) {
    WideString line = pick(headwords);
    if (random() % 10) line += u" ";
    line += pick(readings);
    if (random() % 8) {
      line += u"/";
      for (int g = static_cast<int>(random() % 4); g >= 0; --g) line += pick(glosses) + u"/";
    }
    if (random() % 23 == 0) line.insert(random() % (line.size() + 1), 1, random() % 2 ? u'\n' : u'\r');
    if (random() % 17 == 0) line += u"  ";
    text += line + u"\r\n";
  }
  return text;
}

}  // namespace

TEST_F(MainFormTest, ClassificationMatchesThePlainRules) {
  SetMarkersFromLines({"n|noun", "vs|verb", "pol|polite", "P|common", "uk|kana", "(n|odd", "a(n|odder"});
  DictionaryText = std::make_shared<const WideString>(MadeDictionary(19, 3000));
  const WideString queries[] = {u"water", u"Water", u"WATER", u"n",      u"vs",     u"a", u"水",
                                u"みず",  u"\u212A", u"k",     u"e",      u"\u03A9", u"ohm", u"fire"};
  for (const WideString& query : queries) {
    for (bool exactOnly : {false, true}) {
      SCOPED_TRACE(WideToUTF8(query) + (exactOnly ? " exact only" : ""));
      const TLists plain = PlainSearch(*DictionaryText, query, exactOnly);
      Search(query, exactOnly ? ssCtrl : 0);
      EXPECT_EQ(Listed(form->lstExactMatch), plain.Exact);
      EXPECT_EQ(Listed(form->lstSimiliarMatch), plain.Similar);
      EXPECT_EQ(form->ExactCount(), static_cast<int>(plain.Exact.size()));
      EXPECT_EQ(form->SimiliarCount(), static_cast<int>(plain.Similar.size()));
    }
  }
}

namespace {

long PeakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

bool Inside(std::u16string_view part, const WideString& text) {
  return part.data() >= text.data() && part.data() + part.size() <= text.data() + text.size();
}

// One line whose single gloss holds `count` waters: every match is a similar
// hit showing that whole gloss.
WideString HugeLine(int count) {
  WideString gloss;
  for (int i = 0; i < count; ++i) gloss += u"water ";
  return u"x /(n) " + gloss + u"/\r\n";
}

}  // namespace

TEST_F(MainFormTest, OneHugeLineIsHeldOnceWhateverItsMatches) {
  DictionaryText = std::make_shared<const WideString>(HugeLine(150000));  // 900,000 units
  const long before = PeakRssKiB();
  Search(u"water");
  EXPECT_EQ(form->SimiliarCount(), 150000);
  // Every entry shows and records slices of the one text: had each copied
  // its line or its gloss, the lists would hold 270 GB.
  const WideString& text = *DictionaryText;
  auto& items = form->lstSimiliarMatch->Items();
  for (int i = 0; i < items.Count(); i += 997) {
    ASSERT_TRUE(Inside(items.StringView(i), text)) << i;
    ASSERT_TRUE(Inside(static_cast<const TResultLineData*>(items.Objects(i))->Line(), text)) << i;
  }
  EXPECT_EQ(items.StringView(0).size(), 6u * 150000 - 1);  // the gloss without "(n) " and its last space
  const long grownMiB = (PeakRssKiB() - before) / 1024;
  EXPECT_LT(grownMiB, 64) << "two entries' worth of records and items: a few dozen bytes each";
}

TEST_F(MainFormTest, StopAndTypingReachTheWindowWithinAMatchOrTwo) {
  DictionaryText = std::make_shared<const WideString>(HugeLine(20000));
  form->edtSearch->SetFocus();
  int matches = 0, stopAt = -1, entriesAtStop = -1;
  auto classify = SearchEngine->OnMatch;
  SearchEngine->OnMatch = [&](int64_t start, int64_t stop) {
    ++matches;
    if (matches == 100) {
      HeadlessChars(u"s");  // typed while the search runs
    } else if (matches == 200) {
      const POINT p = form->lblStop->ClientToScreen(POINT{2, 2});
      HeadlessClick(p.x, p.y);
      stopAt = matches;
      entriesAtStop = form->SimiliarCount();
    } else if (matches == 150) {
      EXPECT_EQ(form->edtSearch->Text(), u"swater");  // at the caret, since match 100
    }
    classify(start, stop);
  };
  Search(u"water");
  EXPECT_EQ(matches, 20000);  // the scan ran to its end
  ASSERT_EQ(stopAt, 200);
  // The click was handled by the pump of the very match it came with.
  EXPECT_EQ(form->SimiliarCount(), entriesAtStop + 1);
  EXPECT_FALSE(form->lblStop->Visible());
  EXPECT_EQ(form->edtSearch->Text(), u"swater");
}
