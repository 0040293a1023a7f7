// The search: Enter in the search box scans the whole dictionary text once;
// every match is classified as exact or similar by the first field of its
// line (headword, reading, glosses without their groups) that equals or
// contains the matched text.
#include <string>

#include "dict/DataFiles.h"
#include "dict/MainForm.h"

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
  if (FPendingText) ReloadDictionary();
}

void THanakumoForm::EndSearch() {
  UpdateLists(false);
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
  FCurrentText.reset();
  FCurrentLine = {};
  pbResult->Invalidate();
  Application->ProcessMessages();

  FSearchText = DictionaryText;
  FClassifier.Start(*FSearchText, query, FExactOnly);
  FQueueChanges = GetQueueChangeCount();
  FLastPump = GetTickCount();
  FMatchesSincePump = 0;
  UpdateLists(true);
  const bool found = SearchEngine->FindAllMatches(*FSearchText);
  UpdateLists(false);
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
  const TMatchClass match = FClassifier.Classify(start, stop);
  if (match.Kind != TMatchClass::mcNone) {
    TWideListBox* list = match.Kind == TMatchClass::mcExact ? lstExactMatch : lstSimiliarMatch;
    TResultLineData* data = RecordsOf(*list).Add(FSearchText, match.LineStart, match.LineLength);
    // The shown text is a slice of the dictionary text or of one the
    // classifier keeps until the lists are cleared for the next search.
    list->Items().AddObjectShared(match.Display, data);
    ++(list == lstExactMatch ? FExactCount : FSimiliarCount);
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

// While the scan adds items the lists only note them, and lay out and
// repaint once each time the queue runs.
void THanakumoForm::UpdateLists(bool updating) {
  if (updating == FListsUpdating) return;
  FListsUpdating = updating;
  for (TWideListBox* list : {lstExactMatch, lstSimiliarMatch}) {
    if (updating)
      list->Items().BeginUpdate();
    else
      list->Items().EndUpdate();
  }
}

// Every match may let the queue run, so the window stays live and Stop can
// be clicked. What a match pays is a counter and one atomic read: the queue
// runs at once when anything reached it (input, a post, a timer, a repaint
// request from another thread), and otherwise every 15 ms on the clock,
// which is read every 64 matches; input on a display is only seen when the
// queue runs.
void THanakumoForm::PumpDuringSearch() {
  if (GetQueueChangeCount() == FQueueChanges) {
    if (++FMatchesSincePump < 64) return;
    FMatchesSincePump = 0;
    if (GetTickCount() - FLastPump < 15) return;
  }
  UpdateLists(false);
  ShowCounts();
  Application->ProcessMessages();
  if (!FStopRequested) UpdateLists(true);
  FLastPump = GetTickCount();
  FMatchesSincePump = 0;
  FQueueChanges = GetQueueChangeCount();
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
