// The search: Enter in the search box scans the whole dictionary text once;
// every match is classified as exact or similar by the first field of its
// line (headword, reading, glosses without their groups) that equals or
// contains the matched text.
#include <string>

#include "dict/DataFiles.h"
#include "dict/EntryParser.h"
#include "dict/LineBounds.h"
#include "dict/MainForm.h"
#include "dict/Markers.h"
#include "dict/ResultLineData.h"
#include "unicode/UnicodeData.h"

namespace {

// Letters of the query may be anything above U+00FF, but of Latin-1 only
// ASCII letters: no digit, space, punctuation or pattern character.
bool AcceptableQuery(const WideString& query) {
  if (query.empty()) return false;
  for (char16_t c : query) {
    if (c > 0xFF) continue;
    if (!((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))) return false;
  }
  return true;
}

constexpr TColor AccentColor = 0xEF9644;
constexpr TColor MutedColor = 0x808080;

}  // namespace

void THanakumoForm::edtSearchKeyDown(TObject*, WORD& key, TShiftState shift) {
  if (key != VK_RETURN || FSearching) return;
  const WideString query = edtSearch->Text();
  if (!AcceptableQuery(query)) return;
  FExactOnly = (shift & ssCtrl) != 0;
  RunSearch(query);
}

void THanakumoForm::RunSearch(const WideString& query) {
  FSearching = true;
  try {
    ScanDictionary(query);
  } catch (...) {
    // The form goes back to idle whatever leaves the scan; the error goes
    // on to the application's handler.
    EndSearch();
    throw;
  }
  EndSearch();
  // A reload Apply asked for during the search.
  if (!FPendingDictFile.empty()) ReloadDictionary();
}

void THanakumoForm::EndSearch() {
  ShowCounts();
  imgLoading->Hide();
  lblStop->Hide();
  FSearching = false;
  FSearchText.reset();
}

void THanakumoForm::ScanDictionary(const WideString& query) {
  SearchEngine->ClearMatches();
  SearchEngine->PreparePattern(query, 8);
  lblExactMatch->SetCaption("Exact match");
  lblSimiliarMatch->SetCaption("Similiar match");
  lstExactMatch->SetItemIndex(-1);
  lstSimiliarMatch->SetItemIndex(-1);
  FreeResultData(*lstExactMatch);
  lstExactMatch->Items().Clear();
  FreeResultData(*lstSimiliarMatch);
  lstSimiliarMatch->Items().Clear();
  lblExactMatchClick(lblExactMatch);
  imgLoading->Show();
  lblStop->Show();
  FStopRequested = false;
  FExactCount = 0;
  FSimiliarCount = 0;
  FCountsShown = true;
  FCurrentLine.clear();
  pbResult->Invalidate();
  Application->ProcessMessages();

  FSearchText = DictionaryText;
  const bool found = SearchEngine->FindAllMatches(*FSearchText);
  if (found) {
    if (FExactCount > 0) {
      if (lstExactMatch->Visible()) lblExactMatchClick(lblExactMatch);
    } else if (FSimiliarCount > 0 && !lstSimiliarMatch->Visible()) {
      lblSimiliarMatchClick(lblSimiliarMatch);
    }
  }
}

void THanakumoForm::SearchResultFound(int64_t start, int64_t stop) {
  if (FStopRequested) return;
  const WideString& text = *FSearchText;
  const TLineBounds bounds = GetLineAt(text, start, stop);
  const WideString line = text.substr(bounds.LineStart, bounds.LineLength);
  const WideString found = line.substr(static_cast<size_t>(start), static_cast<size_t>(stop - start));

  WideString display, headword, reading;
  bool similar = false;
  ParseEntryLine(line, headword, reading, FGlosses);
  auto test = [&](const WideString& field) {
    if (field == found) {
      display = field;
    } else if (!FExactOnly && WidePosIgnoreCase(found, field) > 0) {
      display = field;
      similar = true;
    }
  };
  test(headword);
  if (display.empty() && !reading.empty()) test(reading);
  for (int i = 0; display.empty() && i < FGlosses.Count(); ++i) {
    const WideString gloss = FGlosses[i];
    const WideString bare = WideTrimSpace(RemoveParentheses(gloss));
    if (bare.empty()) continue;
    if (bare == found) {
      display = WideTrimSpace(RemoveMarkers(gloss));
    } else if (!FExactOnly && WidePosIgnoreCase(found, bare) > 0) {
      display = WideTrimSpace(RemoveMarkers(gloss));
      similar = true;
    }
  }

  if (!display.empty()) {
    auto* data = new TResultLineData(FSearchText, bounds.LineStart, bounds.LineLength);
    if (!similar) {
      lstExactMatch->Items().AddObject(display, data);
      ++FExactCount;
    } else {
      lstSimiliarMatch->Items().AddObject(display, data);
      ++FSimiliarCount;
    }
    FCountsShown = false;
  }
  PumpDuringSearch();
}

// The counts reach the captions whenever the window may repaint, and when
// the search ends: measuring a caption per match would cost more than the
// match.
void THanakumoForm::ShowCounts() {
  if (FCountsShown) return;
  FCountsShown = true;
  if (FExactCount > 0) lblExactMatch->SetCaption("Exact match (" + std::to_string(FExactCount) + ")");
  if (FSimiliarCount > 0) lblSimiliarMatch->SetCaption("Similiar match (" + std::to_string(FSimiliarCount) + ")");
}

// Every match lets the queue run, so the window stays live and Stop can be
// clicked. Input, posted messages and timers are handled at once; a repaint
// alone waits until 15 ms have passed since the last one, since repainting
// the counts after each of hundreds of thousands of matches would cost far
// more than the search.
void THanakumoForm::PumpDuringSearch() {
  const DWORD now = GetTickCount();
  const bool waiting = (GetQueueStatus(QS_ALLINPUT & ~QS_PAINT) & 0xFFFF) != 0;
  if (!waiting && now - FLastPump < 15) return;
  FLastPump = now;
  ShowCounts();
  Application->ProcessMessages();
}

void THanakumoForm::lblStopClick(TObject*) { FStopRequested = true; }

void THanakumoForm::lblExactMatchClick(TObject*) {
  ShowResultList(lstExactMatch, lblExactMatch, lstSimiliarMatch, lblSimiliarMatch);
}

void THanakumoForm::lblSimiliarMatchClick(TObject*) {
  ShowResultList(lstSimiliarMatch, lblSimiliarMatch, lstExactMatch, lblExactMatch);
}

// One list is shown under its accent-coloured caption, the other hidden
// under a grey one; the shown list's selection (its first item by default)
// is drawn in the pane.
void THanakumoForm::ShowResultList(TWideListBox* shown, TLabel* shownCaption, TWideListBox* hidden,
                                   TLabel* hiddenCaption) {
  shownCaption->Font().SetColor(AccentColor);
  hiddenCaption->Font().SetColor(MutedColor);
  shown->Show();
  hidden->Hide();
  if (shown->Items().Count() == 0) return;
  if (shown->ItemIndex() < 0) shown->SetItemIndex(0);
  if (plMain->ActivePage() == pageSearch && shown->CanFocus()) shown->SetFocus();
  ResultListClick(shown);
}

void THanakumoForm::edtSearchEnter(TObject*) { ShowPicture(imgSearch, FPngSearchEnter.get()); }
void THanakumoForm::edtSearchExit(TObject*) { ShowPicture(imgSearch, FPngSearchLeave.get()); }
