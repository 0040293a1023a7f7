// Character data of the Unicode text library: categories, case mappings,
// decompositions, combining classes and compositions, read lazily from the
// UNICODEDATA resources, plus the trimming built on the categories.
//
// The tables cover U+0000-U+FFFF; every query above U+FFFF answers "no data"
// (no category, the code point itself as its case mapping, class 0, no
// decomposition).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <span>
#include <string_view>
#include <vector>

#include "classlib/SysTypes.h"

enum TCharacterCategory : uint8_t {
  ccLetterUppercase,
  ccLetterLowercase,
  ccLetterTitlecase,
  ccMarkNonSpacing,
  ccMarkSpacingCombining,
  ccMarkEnclosing,
  ccNumberDecimalDigit,
  ccNumberLetter,
  ccNumberOther,
  ccSeparatorSpace,
  ccSeparatorLine,
  ccSeparatorParagraph,
  ccOtherControl,
  ccOtherFormat,
  ccOtherSurrogate,
  ccOtherPrivate,
  ccOtherUnassigned,
  ccLetterModifier,
  ccLetterOther,
  ccPunctuationConnector,
  ccPunctuationDash,
  ccPunctuationOpen,
  ccPunctuationClose,
  ccPunctuationInitialQuote,
  ccPunctuationFinalQuote,
  ccPunctuationOther,
  ccSymbolMath,
  ccSymbolCurrency,
  ccSymbolModifier,
  ccSymbolOther,
  ccLeftToRight,
  ccLeftToRightEmbedding,
  ccLeftToRightOverride,
  ccRightToLeft,
  ccRightToLeftArabic,
  ccRightToLeftEmbedding,
  ccRightToLeftoverride,
  ccPopDirectionalFormat,
  ccEuropeanNumber,
  ccEuropeanNumberSeparator,
  ccEuropeanNumberTerminator,
  ccArabicNumber,
  ccCommonNumberSeparator,
  ccBoundaryNeutral,
  ccSegmentSeparator,
  ccWhiteSpace,
  ccOtherNeutrals,
  ccComposed,
  ccNonBreaking,
  ccSymmetric,
  ccHexDigit,
  ccQuotationMark,
  ccMirroring,
  ccSpaceOther,
  ccAssigned,
};

constexpr int CharacterCategoryCount = ccAssigned + 1;

// A set of categories, one bit per TCharacterCategory, 7 bytes as stored.
struct TCharacterCategories {
  uint8_t Bits[7] = {};

  constexpr TCharacterCategories() = default;
  constexpr TCharacterCategories(std::initializer_list<TCharacterCategory> categories) {
    for (TCharacterCategory c : categories) Include(c);
  }
  constexpr void Include(TCharacterCategory c) {
    if (c < CharacterCategoryCount) Bits[c >> 3] |= static_cast<uint8_t>(1u << (c & 7));
  }
  constexpr bool Contains(TCharacterCategory c) const {
    return c < CharacterCategoryCount && (Bits[c >> 3] >> (c & 7)) & 1;
  }
  constexpr bool Intersects(const TCharacterCategories& other) const {
    for (int i = 0; i < 7; ++i)
      if (Bits[i] & other.Bits[i]) return true;
    return false;
  }
  constexpr bool Empty() const {
    for (uint8_t b : Bits)
      if (b) return false;
    return true;
  }
};

using UCS4 = uint32_t;
using TUCS4Array = std::vector<UCS4>;

// Mapping kinds of CaseMapping.
enum TCaseMappingKind : int { cmkFolding = 0, cmkLower = 1, cmkTitle = 2, cmkUpper = 3 };

bool HasCategory(UCS4 code, const TCharacterCategories& categories);
// The stored category set of a code point (empty without data).
TCharacterCategories CategoriesOf(UCS4 code);
bool IsControlCode(UCS4 code);
bool IsSpaceCode(UCS4 code);
bool IsNonSpacingCode(UCS4 code);

// Trims white space and control characters (each UTF-16 unit by itself) from
// both ends.
WideString WideTrimSpace(const WideString& s);
// The same, as a slice of the text.
std::u16string_view WideTrimSpaceView(std::u16string_view s);

// The mapping of the given kind (0 folding, 1 lower, 2 title, 3 upper); the
// code point itself when nothing is stored. Returned as a copy.
TUCS4Array CaseMapping(UCS4 code, int kind);
TUCS4Array LowerCaseMapping(UCS4 code);
// Read-only view of the stored mapping, empty when nothing is stored: the
// allocation-free form for hot loops.
std::span<const UCS4> StoredCaseMapping(UCS4 code, int kind);

TUCS4Array Decomposition(UCS4 code, bool compatible);
// Read-only view of the stored decomposition (Hangul syllables excluded),
// empty when none.
std::span<const UCS4> StoredDecomposition(UCS4 code, bool compatible);
TUCS4Array DecomposeHangulSyllable(UCS4 code);
bool IsHangulSyllable(UCS4 code);

uint8_t CombiningClass(UCS4 code);
bool FindComposite(char16_t first, char16_t second, UCS4& composite);

// Each loader fills its table once; later calls return at once. A failure
// raises the reading error and leaves the table unloaded, so the next lookup
// tries again and no reader ever sees a half-filled table.
void LoadCategoryData();
void LoadCaseData();
void LoadDecompositionData();
void LoadCombiningData();
void LoadCompositionData();

// Serialises the loaders.
class TCriticalSectionLock {
 public:
  void Lock() { FSection.lock(); }
  void Unlock() { FSection.unlock(); }

 private:
  std::recursive_mutex FSection;
};

TCriticalSectionLock& UnicodeDataLock();

// The unit's line break, CR LF.
inline constexpr std::u16string_view UnicodeLineBreak = u"\r\n";
