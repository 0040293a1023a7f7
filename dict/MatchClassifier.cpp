#include "dict/MatchClassifier.h"

#include <algorithm>

#include "dict/EntryParser.h"
#include "dict/LineBounds.h"
#include "dict/Markers.h"
#include "unicode/Normalization.h"
#include "unicode/UnicodeData.h"

namespace {

using View = std::u16string_view;
constexpr size_t npos = View::npos;

bool SameIgnoringCase(View a, View b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperUnit(a[i]) != UpperUnit(b[i])) return false;
  return true;
}

}  // namespace

void TMatchClassifier::Start(const WideString& text, const WideString& query, bool exactOnly) {
  Clear();
  FText = &text;
  FExactOnly = exactOnly;
  FQueryUpper = query;
  for (char16_t& c : FQueryUpper) c = UpperUnit(c);
}

void TMatchClassifier::Clear() {
  FText = nullptr;
  FKept.clear();
  FHaveLine = false;
  FFields.clear();
  FLineStringsUsed = 0;
  FFoldedUsed = 0;
  FHaveLastExact = false;
}

TMatchClass TMatchClassifier::Classify(int64_t start, int64_t stop) {
  const WideString& text = *FText;
  const size_t s = static_cast<size_t>(std::min<int64_t>(start, static_cast<int64_t>(text.size())));
  const size_t e = static_cast<size_t>(std::max<int64_t>(stop, start));
  if (!InLine(s, e)) CutLine(start, stop);
  // The matched text with the dictionary's letter case, cut at the line's end.
  const View found = View(text).substr(s, std::min(e, FLineEnd) - std::min(s, FLineEnd));

  if (FExactOnly) {
    if (FHaveLastExact && FLastExact == found) return FLastExactClass;
    FLastExactClass = Decide(found, 0, false);
    FLastExact.assign(found);
    FHaveLastExact = true;
    return FLastExactClass;
  }
  if (found.empty()) return Decide(found, 0, false);
  // An equal field contains the text too, so the first field that contains
  // it decides; only a gloss whose shown text comes out empty passes on.
  const int first = FirstContaining(found);
  if (first < 0) return Result(TMatchClass::mcNone, {});
  TField& field = FFields[static_cast<size_t>(first)];
  const bool exact = field.Compared == found;
  const View display = Display(field);
  if (!display.empty()) return Result(exact ? TMatchClass::mcExact : TMatchClass::mcSimilar, display);
  return Decide(found, static_cast<size_t>(first) + 1, !exact);
}

// The first field, in order, that equals the text or (unless exact hits only
// are wanted) contains it ignoring case, and whose shown text is not empty.
TMatchClass TMatchClassifier::Decide(View found, size_t from, bool similar) {
  const View upper = Upper(found);
  for (size_t i = from; HaveField(i); ++i) {
    TField& field = FFields[i];
    bool hit = field.Compared == found;
    if (!hit && !FExactOnly && ContainsUpperCased(field.Compared, upper)) hit = similar = true;
    if (!hit) continue;
    const View display = Display(field);
    if (!display.empty()) return Result(similar ? TMatchClass::mcSimilar : TMatchClass::mcExact, display);
  }
  return Result(TMatchClass::mcNone, {});
}

TMatchClass TMatchClassifier::Result(TMatchClass::TKind kind, View display) const {
  TMatchClass r;
  r.Kind = kind;
  r.Display = kind == TMatchClass::mcNone ? View() : display;
  r.LineStart = FLineStart;
  r.LineLength = FLineEnd - FLineStart;
  return r;
}

View TMatchClassifier::Upper(View found) {
  bool same = found.size() == FQueryUpper.size();
  for (size_t i = 0; same && i < found.size(); ++i) same = UpperUnit(found[i]) == FQueryUpper[i];
  if (same) return FQueryUpper;
  FFoundUpper.assign(found);
  for (char16_t& c : FFoundUpper) c = UpperUnit(c);
  return FFoundUpper;
}

int TMatchClassifier::FirstContaining(View found) {
  const View upper = Upper(found);
  for (size_t k = 0; k < FFoldedUsed; ++k)
    if (FFolded[k].Upper == upper) return FFolded[k].First;
  int first = -1;
  for (size_t i = 0; first < 0 && HaveField(i); ++i)
    if (ContainsUpperCased(FFields[i].Compared, upper)) first = static_cast<int>(i);
  if (FFoldedUsed == FFolded.size()) FFolded.emplace_back();
  TFolded& folded = FFolded[FFoldedUsed++];
  folded.Upper.assign(upper);
  folded.First = first;
  return first;
}

// A match lies in the present line when no LF stands between the line's
// start and the match, and no CR between the match and the line's end. In
// text order only the stretch since the last match is looked at.
bool TMatchClassifier::InLine(size_t start, size_t stop) {
  if (!FHaveLine || start < FLineStart || start > FLineEnd || stop > FLineEnd) return false;
  const View text(*FText);
  if (start > FNoLFBefore) {
    if (text.substr(FNoLFBefore, start - FNoLFBefore).find(u'\n') != npos) return false;
    FNoLFBefore = start;
  }
  if (stop < FNoCRFrom) {
    if (text.substr(stop, FNoCRFrom - stop).find(u'\r') != npos) return false;
    FNoCRFrom = stop;
  }
  return true;
}

void TMatchClassifier::CutLine(int64_t start, int64_t stop) {
  const WideString& text = *FText;
  const size_t s = static_cast<size_t>(std::clamp<int64_t>(start, 0, static_cast<int64_t>(text.size())));
  const size_t e = static_cast<size_t>(std::max<int64_t>(stop, static_cast<int64_t>(s)));
  const TLineBounds bounds = GetLineAt(text, start, stop);
  FLineStart = bounds.LineStart;
  FLineEnd = bounds.LineStart + bounds.LineLength;
  // The line starts after the nearest LF before the match and ends at the
  // nearest CR after it.
  FNoLFBefore = std::clamp(s, FLineStart, FLineEnd);
  FNoCRFrom = std::clamp(e, FNoLFBefore, FLineEnd);
  FHaveLine = true;

  FFields.clear();
  FLineStringsUsed = 0;
  FFoldedUsed = 0;
  FHaveLastExact = false;
  const TEntryFields entry = CutEntryLine(View(text).substr(FLineStart, bounds.LineLength));
  FFields.push_back(TField{entry.Headword, {}, false, true, false, {}});
  if (!entry.Reading.empty()) FFields.push_back(TField{entry.Reading, {}, false, true, false, {}});
  FGlossCursor = TTokenCursor(entry.Glosses, u'/');
  FGlossesDone = false;
}

// Glosses are cut from the line only when a decision comes to them.
bool TMatchClassifier::HaveField(size_t index) {
  while (index >= FFields.size() && !FGlossesDone) {
    View gloss;
    if (FGlossCursor.Next(gloss))
      AddGloss(gloss);
    else
      FGlossesDone = true;
  }
  return index < FFields.size();
}

// A gloss as the list of glosses would hold it (NFC), compared without its
// groups and trimmed; one with nothing left is never looked at.
void TMatchClassifier::AddGloss(View gloss) {
  TField field;
  field.IsGloss = true;
  field.GlossInText = IsNormalizedQuick(gloss, nfC);
  if (field.GlossInText) {
    field.Gloss = gloss;
  } else {
    WideString& normalized = LineBuffer();
    normalized = NormalizeWide(WideString(gloss), nfC);
    field.Gloss = normalized;
  }
  // RemoveParentheses in one pass: each "(" up to the first ")" after it.
  FPieces.clear();
  const View g = field.Gloss;
  size_t pieceStart = 0;
  for (size_t open = g.find(u'('); open != npos; open = g.find(u'(', pieceStart)) {
    const size_t close = g.find(u')', open + 1);
    if (close == npos) break;
    FPieces.push_back(g.substr(pieceStart, open - pieceStart));
    pieceStart = close + 1;
  }
  FPieces.push_back(g.substr(pieceStart));
  bool sliced;
  field.Compared = Joined(true, sliced);
  if (field.Compared.empty()) return;
  FFields.push_back(field);
}

// The pieces in FPieces joined and trimmed: a slice of one piece when the
// others hold only white space (`sliced`); else built, in a buffer of the
// line (`forLine`) or kept with the results.
View TMatchClassifier::Joined(bool forLine, bool& sliced) {
  sliced = true;
  size_t first = npos, last = npos;
  for (size_t i = 0; i < FPieces.size(); ++i) {
    if (WideTrimSpaceView(FPieces[i]).empty()) continue;
    if (first == npos) first = i;
    last = i;
  }
  if (first == npos) return {};
  if (first == last) return WideTrimSpaceView(FPieces[first]);
  sliced = false;
  WideString joined;
  WideString& built = forLine ? LineBuffer() : joined;
  for (size_t i = first; i <= last; ++i) built.append(FPieces[i]);
  const View trimmed = WideTrimSpaceView(built);
  return forLine ? trimmed : Keep(WideString(trimmed));
}

View TMatchClassifier::Display(TField& field) {
  if (!field.HasDisplay) {
    field.Display = field.IsGloss ? GlossDisplay(field) : field.Compared;
    field.HasDisplay = true;
  }
  return field.Display;
}

// RemoveMarkers, trimmed. It deletes, for each marker group in turn, the
// first occurrence of "(" + inner + ")" found ignoring case; when no group
// holds a "(" that occurrence is the group itself, unless an earlier group
// that stays reads the same ignoring case. Then the marker groups simply
// drop out; otherwise the routine itself runs.
View TMatchClassifier::GlossDisplay(const TField& field) {
  const View g = field.Gloss;
  FPieces.clear();
  FKeptGroups.clear();
  bool plain = true;
  size_t pieceStart = 0;
  for (size_t open = g.find(u'('), scan = 0; open != npos && plain; open = g.find(u'(', scan)) {
    const size_t close = g.find(u')', open + 1);
    if (close == npos) break;
    const View inner = g.substr(open + 1, close - open - 1);
    scan = close + 1;
    if (inner.find(u'(') != npos) {
      plain = false;
    } else if (!IsMarkerText(inner)) {
      FKeptGroups.push_back(inner);
    } else {
      for (View kept : FKeptGroups)
        if (SameIgnoringCase(kept, inner)) plain = false;
      FPieces.push_back(g.substr(pieceStart, open - pieceStart));
      pieceStart = close + 1;
    }
  }
  if (!plain) return Keep(WideTrimSpace(RemoveMarkers(WideString(g))));
  FPieces.push_back(g.substr(pieceStart));
  bool sliced;
  const View display = Joined(false, sliced);
  // A slice of a normalized copy lives only as long as the line.
  return sliced && !field.GlossInText && !display.empty() ? Keep(WideString(display)) : display;
}

View TMatchClassifier::Keep(WideString text) {
  FKept.push_back(std::move(text));
  return FKept.back();
}

WideString& TMatchClassifier::LineBuffer() {
  if (FLineStringsUsed == FLineStrings.size()) FLineStrings.emplace_back();
  WideString& s = FLineStrings[FLineStringsUsed++];
  s.clear();
  return s;
}
