#include <gtest/gtest.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "unicode/UnicodeData.h"

namespace {

TEST(UnicodeData, ListedLookups) {
  EXPECT_TRUE(HasCategory(0x41, {ccLetterUppercase}));
  EXPECT_FALSE(HasCategory(0x41, {ccLetterLowercase, ccMarkNonSpacing}));
  TCharacterCategories all;
  for (int k = 0; k < CharacterCategoryCount; ++k) all.Include(static_cast<TCharacterCategory>(k));
  EXPECT_FALSE(HasCategory(0x378, all));  // unassigned: no data at all
  EXPECT_TRUE(IsSpaceCode(0x3000));
  EXPECT_TRUE(IsControlCode(0xFEFF));
  EXPECT_TRUE(IsNonSpacingCode(0x301));
  EXPECT_TRUE(HasCategory(0xD800, {ccOtherSurrogate}));

  EXPECT_EQ(CaseMapping(0xDF, cmkFolding), (TUCS4Array{0x73, 0x73}));
  EXPECT_EQ(CaseMapping(0x41, cmkLower), (TUCS4Array{0x61}));
  EXPECT_EQ(LowerCaseMapping(0x41), (TUCS4Array{0x61}));
  EXPECT_EQ(CaseMapping(0x41, cmkUpper), (TUCS4Array{0x41}));
  EXPECT_TRUE(StoredCaseMapping(0x41, cmkUpper).empty());

  EXPECT_EQ(Decomposition(0xC0, false), (TUCS4Array{0x41, 0x300}));
  EXPECT_EQ(Decomposition(0xAC01, false), (TUCS4Array{0x1100, 0x1161, 0x11A8}));
  EXPECT_EQ(Decomposition(0xAC00, false), (TUCS4Array{0x1100, 0x1161}));
  EXPECT_TRUE(Decomposition(0xD7A4, false).empty());
  EXPECT_TRUE(DecomposeHangulSyllable(0x41).empty());
  EXPECT_EQ(Decomposition(0xFB01, true), (TUCS4Array{0x66, 0x69}));
  EXPECT_TRUE(Decomposition(0xFB01, false).empty());
  EXPECT_EQ(Decomposition(0xC0, true), (TUCS4Array{0x41, 0x300}));  // canonical serves

  EXPECT_EQ(CombiningClass(0x301), 230);
  EXPECT_EQ(CombiningClass(0x41), 0);
  UCS4 composite = 0;
  EXPECT_TRUE(FindComposite(0x41, 0x300, composite));
  EXPECT_EQ(composite, 0xC0u);
  EXPECT_FALSE(FindComposite(0x41, 0x41, composite));
  EXPECT_FALSE(FindComposite(0x0958 >> 8, 0x0958 & 0xFF, composite));
}

TEST(UnicodeData, NothingAboveTheTables) {
  // Supplementary code points have data in the resources but none here;
  // above all they must never read another code point's entry.
  for (UCS4 c : {0x10000u, 0x10400u, 0x1D15Eu, 0x1F600u, 0x10FFFFu, 0x110041u, 0xFFFFFFFFu}) {
    EXPECT_TRUE(CategoriesOf(c).Empty()) << std::hex << c;
    EXPECT_EQ(CaseMapping(c, cmkLower), TUCS4Array{c});
    EXPECT_EQ(CaseMapping(c, cmkFolding), TUCS4Array{c});
    EXPECT_EQ(CombiningClass(c), 0);
    EXPECT_TRUE(Decomposition(c, true).empty());
  }
  EXPECT_EQ(CaseMapping(0x41, 7), TUCS4Array{0x41});
}

TEST(UnicodeData, CaseMappingsAreCopies) {
  TUCS4Array m = CaseMapping(0xDF, cmkFolding);
  m[0] = 0x7A;
  m.push_back(1);
  EXPECT_EQ(CaseMapping(0xDF, cmkFolding), (TUCS4Array{0x73, 0x73}));
}

TEST(WideTrimSpace, TrimsSpaceAndControls) {
  const struct {
    WideString in, out;
  } cases[] = {
      {u"", u""},           {u" ", u""},           {u"\r\n", u""},         {u"\u3000", u""},
      {u" a b ", u"a b"},   {u"\uFEFFabc", u"abc"}, {u"\t x\t", u"x"},     {u"a", u"a"},
      {u"\u00A0a\u2028", u"a"},
      // A surrogate is no space and stays.
      {WideString{u' ', 0xD83D, u' '}, WideString{0xD83D}},
  };
  for (const auto& c : cases) EXPECT_EQ(WideTrimSpace(c.in), c.out);
}

TEST(UnicodeData, LoadingFromSeveralThreadsAtOnce) {
  // Whoever comes first fills the table; nobody reads it half filled.
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&] {
      if (CombiningClass(0x316) != 220) ++wrong;
      UCS4 c = 0;
      if (!FindComposite(0x61, 0x301, c) || c != 0xE1) ++wrong;
      if (Decomposition(0xE9, false) != TUCS4Array{0x65, 0x301}) ++wrong;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
}

// --- ICU as the oracle, every code point up to U+FFFF ---

const char* IcuShortName(UProperty property, int32_t value) {
  const char* name = u_getPropertyValueName(property, value, U_SHORT_PROPERTY_NAME);
  return name ? name : "";
}

TEST(UnicodeDataOracle, CategoriesAgreeWithIcu) {
  const std::map<std::string, TCharacterCategory> general = {
      {"Lu", ccLetterUppercase},      {"Ll", ccLetterLowercase},      {"Lt", ccLetterTitlecase},
      {"Mn", ccMarkNonSpacing},       {"Mc", ccMarkSpacingCombining}, {"Me", ccMarkEnclosing},
      {"Nd", ccNumberDecimalDigit},   {"Nl", ccNumberLetter},         {"No", ccNumberOther},
      {"Zs", ccSeparatorSpace},       {"Zl", ccSeparatorLine},        {"Zp", ccSeparatorParagraph},
      {"Cc", ccOtherControl},         {"Cf", ccOtherFormat},          {"Cs", ccOtherSurrogate},
      {"Co", ccOtherPrivate},         {"Lm", ccLetterModifier},       {"Lo", ccLetterOther},
      {"Pc", ccPunctuationConnector}, {"Pd", ccPunctuationDash},      {"Ps", ccPunctuationOpen},
      {"Pe", ccPunctuationClose},     {"Pi", ccPunctuationInitialQuote}, {"Pf", ccPunctuationFinalQuote},
      {"Po", ccPunctuationOther},     {"Sm", ccSymbolMath},           {"Sc", ccSymbolCurrency},
      {"Sk", ccSymbolModifier},       {"So", ccSymbolOther}};
  const std::map<std::string, TCharacterCategory> bidi = {
      {"L", ccLeftToRight},          {"LRE", ccLeftToRightEmbedding}, {"LRO", ccLeftToRightOverride},
      {"R", ccRightToLeft},          {"AL", ccRightToLeftArabic},     {"RLE", ccRightToLeftEmbedding},
      {"RLO", ccRightToLeftoverride}, {"PDF", ccPopDirectionalFormat}, {"EN", ccEuropeanNumber},
      {"ES", ccEuropeanNumberSeparator}, {"ET", ccEuropeanNumberTerminator}, {"AN", ccArabicNumber},
      {"CS", ccCommonNumberSeparator}, {"BN", ccBoundaryNeutral},     {"S", ccSegmentSeparator},
      {"WS", ccWhiteSpace},          {"ON", ccOtherNeutrals}};
  int failures = 0;
  for (UChar32 c = 0; c <= 0xFFFF && failures < 20; ++c) {
    const TCharacterCategories have = CategoriesOf(static_cast<UCS4>(c));
    TCharacterCategories want;
    const bool assigned = u_charType(c) != U_UNASSIGNED;
    if (assigned) {
      want.Include(general.at(IcuShortName(UCHAR_GENERAL_CATEGORY, u_charType(c))));
      // Unassigned code points keep no bidi class (ICU gives block defaults).
      const auto b = bidi.find(IcuShortName(UCHAR_BIDI_CLASS, u_charDirection(c)));
      if (b != bidi.end()) want.Include(b->second);
      want.Include(ccAssigned);
    }
    const int32_t dt = u_getIntPropertyValue(c, UCHAR_DECOMPOSITION_TYPE);
    if (dt == U_DT_CANONICAL) want.Include(ccComposed);
    if (dt == U_DT_NOBREAK) want.Include(ccNonBreaking);
    if (u_isMirrored(c)) {
      want.Include(ccSymmetric);
      want.Include(ccMirroring);
    }
    if (u_hasBinaryProperty(c, UCHAR_HEX_DIGIT)) want.Include(ccHexDigit);
    if (u_hasBinaryProperty(c, UCHAR_QUOTATION_MARK)) want.Include(ccQuotationMark);
    if (u_hasBinaryProperty(c, UCHAR_WHITE_SPACE)) want.Include(ccSpaceOther);
    for (int k = 0; k < CharacterCategoryCount; ++k) {
      const auto cat = static_cast<TCharacterCategory>(k);
      if (have.Contains(cat) != want.Contains(cat)) {
        ADD_FAILURE() << "U+" << std::hex << c << " category " << std::dec << k << " ours " << have.Contains(cat);
        ++failures;
      }
    }
  }
}

TEST(UnicodeDataOracle, CaseMappingsAgreeWithIcu) {
  int failures = 0;
  for (UChar32 c = 0; c <= 0xFFFF && failures < 20; ++c) {
    if (U_IS_SURROGATE(c)) continue;
    auto check = [&](int kind, const TUCS4Array& want) {
      if (CaseMapping(static_cast<UCS4>(c), kind) != want) {
        ADD_FAILURE() << "U+" << std::hex << c << " kind " << kind;
        ++failures;
      }
    };
    check(cmkLower, {static_cast<UCS4>(u_tolower(c))});
    check(cmkUpper, {static_cast<UCS4>(u_toupper(c))});
    check(cmkTitle, {static_cast<UCS4>(u_totitle(c))});
    // Folding is the full one (statuses C and F).
    UChar src[1] = {static_cast<UChar>(c)}, dst[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = u_strFoldCase(dst, 8, src, 1, U_FOLD_CASE_DEFAULT, &status);
    TUCS4Array want;
    for (int32_t i = 0; i < n;) {
      UChar32 f;
      U16_NEXT(dst, i, n, f);
      want.push_back(static_cast<UCS4>(f));
    }
    check(cmkFolding, want);
  }
}

TEST(UnicodeDataOracle, ClassesDecompositionsAndCompositionsAgreeWithIcu) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
  const icu::Normalizer2* nfkd = icu::Normalizer2::getNFKDInstance(status);
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  ASSERT_TRUE(U_SUCCESS(status));
  auto codes = [](const icu::UnicodeString& s) {
    TUCS4Array out;
    for (int32_t i = 0; i < s.length(); i += U16_LENGTH(s.char32At(i))) out.push_back(static_cast<UCS4>(s.char32At(i)));
    return out;
  };
  // Our tables expand fully; applying them again must change nothing.
  std::function<void(UCS4, bool, TUCS4Array&)> expand = [&](UCS4 c, bool compatible, TUCS4Array& out) {
    const TUCS4Array d = Decomposition(c, compatible);
    if (d.empty()) {
      out.push_back(c);
      return;
    }
    for (UCS4 x : d) expand(x, compatible, out);
  };
  int failures = 0;
  for (UChar32 c = 0; c <= 0xFFFF && failures < 20; ++c) {
    if (CombiningClass(static_cast<UCS4>(c)) != u_getCombiningClass(c)) {
      ADD_FAILURE() << "class of U+" << std::hex << c;
      ++failures;
    }
    for (bool compatible : {false, true}) {
      icu::UnicodeString d;
      const TUCS4Array want = (compatible ? nfkd : nfd)->getDecomposition(c, d) ? codes(d) : TUCS4Array{};
      TUCS4Array have = Decomposition(static_cast<UCS4>(c), compatible);
      if (!compatible && have != want) {
        ADD_FAILURE() << "canonical decomposition of U+" << std::hex << c;
        ++failures;
      }
      TUCS4Array full;
      expand(static_cast<UCS4>(c), compatible, full);
      if (have.empty()) full.clear();
      if (full != want) {
        ADD_FAILURE() << "full decomposition of U+" << std::hex << c << " compatible " << compatible;
        ++failures;
      }
    }
    // Hangul syllables compose by rule, outside the table.
    icu::UnicodeString raw;
    if (!IsHangulSyllable(static_cast<UCS4>(c)) && nfc->getRawDecomposition(c, raw) && raw.length() == 2 && raw.countChar32() == 2) {
      const UChar32 composed = nfc->composePair(raw.char32At(0), raw.char32At(1));
      UCS4 ours = 0;
      const bool found = FindComposite(raw.charAt(0), raw.charAt(1), ours);
      if (found != (composed == c) || (found && ours != static_cast<UCS4>(c))) {
        ADD_FAILURE() << "composition to U+" << std::hex << c;
        ++failures;
      }
    }
  }
}

TEST(UnicodeDataResources, GeneratorReproducesTheCommittedTables) {
  if (!std::filesystem::exists("/usr/share/unicode/UnicodeData.txt")) GTEST_SKIP() << "no unicode-data";
  const std::filesystem::path out = std::filesystem::temp_directory_path() / ("hk-ucd-" + std::to_string(getpid()));
  std::filesystem::create_directories(out);
  const std::string command = std::string(HK_GEN_UNICODEDATA) + " /usr/share/unicode " + out.string();
  ASSERT_EQ(std::system(command.c_str()), 0);
  auto read = [](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  for (const char* name :
       {"categories.bin", "case.bin", "decomposition.bin", "combining.bin", "composition.bin", "numbers.bin"}) {
    const std::string fresh = read(out / name);
    EXPECT_FALSE(fresh.empty()) << name;
    EXPECT_TRUE(fresh == read(std::filesystem::path(HK_SOURCE_DIR "/assets/unicode") / name)) << name << " differs";
  }
  std::filesystem::remove_all(out);
}

}  // namespace
