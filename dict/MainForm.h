// The dictionary program's main window: a borderless form that draws its
// own title area, menu icons and window buttons, with three pages (search,
// settings, about). The search runs on this thread and pumps messages per
// match, so the window stays live and Stop can be clicked.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "classlib/controls/Buttons.h"
#include "classlib/controls/Edits.h"
#include "classlib/controls/ListBoxes.h"
#include "classlib/controls/PageLists.h"
#include "dict/MatchClassifier.h"
#include "dict/ResultLineData.h"
#include "unicode/WideStrings.h"
#include "unicode/search/URESearch.h"

class TPNGObject;
class TOpenDialog;

namespace Main {

// The class library's image with hover events, as every image of the form
// is: CM_MOUSEENTER and CM_MOUSELEAVE call OnMouseEnter and OnMouseLeave.
class TImage : public ::TImage {
 public:
  explicit TImage(TComponent* owner);
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
};

}  // namespace Main

// The search engine, created by the main form and freed with it.
extern TURESearch* SearchEngine;

class THanakumoForm : public TForm {
 public:
  explicit THanakumoForm(TComponent* owner);
  ~THanakumoForm() override;

  // Controls, bound from the form resource.
  TPaintBox* pbTopBox = nullptr;
  Main::TImage* imgSearch = nullptr;
  TWideEdit* edtSearch = nullptr;
  Main::TImage* imgLogo = nullptr;
  Main::TImage* imgMinimize = nullptr;
  Main::TImage* imgMaximize = nullptr;
  Main::TImage* imgClose = nullptr;
  TPaintBox* pbMenuBox = nullptr;
  Main::TImage* imgDictionary = nullptr;
  Main::TImage* imgSettings = nullptr;
  Main::TImage* imgAbout = nullptr;
  Main::TImage* imgLoading = nullptr;
  TLabel* lblStop = nullptr;
  TPageList* plMain = nullptr;
  TStandardPage* pageSearch = nullptr;
  TStandardPage* pageSettings = nullptr;
  TStandardPage* pageAbout = nullptr;
  TLabel* lblExactMatch = nullptr;
  TLabel* lblSimiliarMatch = nullptr;
  TWideListBox* lstExactMatch = nullptr;
  TWideListBox* lstSimiliarMatch = nullptr;
  TPaintBox* pbResult = nullptr;
  TLabel* lbl2 = nullptr;
  TEdit* edtDictFileName = nullptr;
  TButton* btnBrowseDictFile = nullptr;
  TCheckBox* chkShowLineNumber = nullptr;
  TBevel* bvl1 = nullptr;
  TButton* btnApply = nullptr;
  TLabel* lbl1 = nullptr;
  TLabel* lblEDICTLink = nullptr;
  TLabel* lbl4 = nullptr;
  TLabel* lblMakerLink = nullptr;
  TLabel* lblDonate = nullptr;
  TOpenDialog* dlgOpen1 = nullptr;

  // Form events.
  void FormCreate(TObject* sender);
  void FormDestroy(TObject* sender);
  void FormPaint(TObject* sender);
  void pbTopBoxPaint(TObject* sender);
  void pbMenuBoxPaint(TObject* sender);
  void pageSearchPaint(TObject* sender, TCanvas* canvas, TRect rect);
  void pageSettingsPaint(TObject* sender, TCanvas* canvas, TRect rect);

  // Title buttons.
  void imgCloseMouseEnter(TObject* sender);
  void imgCloseMouseLeave(TObject* sender);
  void imgCloseMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void imgCloseMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void imgMaximizeMouseEnter(TObject* sender);
  void imgMaximizeMouseLeave(TObject* sender);
  void imgMaximizeMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void imgMaximizeMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void imgMinimizeMouseEnter(TObject* sender);
  void imgMinimizeMouseLeave(TObject* sender);
  void imgMinimizeMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void imgMinimizeMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);

  // Pages.
  void imgDictionaryClick(TObject* sender);
  void imgSettingsClick(TObject* sender);
  void imgAboutClick(TObject* sender);
  void btnBrowseDictFileClick(TObject* sender);
  void btnApplyClick(TObject* sender);
  void lblEDICTLinkClick(TObject* sender);
  void lblMakerLinkClick(TObject* sender);
  void lblDonateClick(TObject* sender);

  // Search.
  void edtSearchKeyDown(TObject* sender, WORD& key, TShiftState shift);
  void edtSearchEnter(TObject* sender);
  void edtSearchExit(TObject* sender);
  void SearchResultFound(int64_t start, int64_t stop);
  void lblStopClick(TObject* sender);
  void lblExactMatchClick(TObject* sender);
  void lblSimiliarMatchClick(TObject* sender);

  // Results.
  // Frees the result record of every item of the list (the items stay).
  void FreeResultData(TWideListBox& list);
  void ResultListDrawItem(TWinControl* control, int index, TRect rect, TOwnerDrawState state);
  void ResultListClick(TObject* sender);
  void pbResultPaint(TObject* sender);

  // What the start could not read, told in boxes owned by the window once
  // it is up (the first message the run handles).
  void ReportStartupProblems(std::vector<std::string> problems);

  // State, open to tests.
  bool Searching() const { return FSearching; }
  std::u16string_view CurrentLine() const { return FCurrentLine; }
  int ExactCount() const { return FExactCount; }
  int SimiliarCount() const { return FSimiliarCount; }

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  void WMNCHitTest(TMessage& message);
  void LoadPngResource(TPNGObject& picture, const char* name);
  void ShowPicture(Main::TImage* image, TPNGObject* picture);
  void RunSearch(const WideString& query);
  void ScanDictionary(const WideString& query);
  void EndSearch();
  void PumpDuringSearch();
  void ShowResultList(TWideListBox* shown, TLabel* shownCaption, TWideListBox* hidden, TLabel* hiddenCaption);
  void ShowCounts();
  void ReloadDictionary();
  void ShowStartupProblems();
  void UpdateLists(bool updating);
  TResultRecords& RecordsOf(TWideListBox& list);

  // Window-button and search-box pictures, loaded from the PNG resources.
  std::unique_ptr<TPNGObject> FPngSearchEnter, FPngSearchLeave;
  std::unique_ptr<TPNGObject> FPngCloseEnter, FPngCloseLeave, FPngCloseDown;
  std::unique_ptr<TPNGObject> FPngMaximizeEnter, FPngMaximizeLeave, FPngMaximizeDown;
  std::unique_ptr<TPNGObject> FPngMinimizeEnter, FPngMinimizeLeave, FPngMinimizeDown;

  // Search state.
  bool FSearching = false;
  bool FExactOnly = false;
  bool FStopRequested = false;
  int FExactCount = 0;
  int FSimiliarCount = 0;
  // The entry the pane shows: its line in the text it was found in, which
  // is kept alive for it (a line can be millions of units: it is not copied).
  std::shared_ptr<const WideString> FCurrentText;
  std::u16string_view FCurrentLine;
  // The text the running scan reads, held so a reload cannot free it, and
  // the dictionary Apply read during it, in use once no search runs.
  std::shared_ptr<const WideString> FSearchText;
  std::string FPendingDictFile;
  std::shared_ptr<const WideString> FPendingText;
  DWORD FLastPump = 0;
  bool FCountsShown = true;
  // The running search's classification, and each list's records.
  TMatchClassifier FClassifier;
  TResultRecords FExactRecords, FSimiliarRecords;
  DWORD FQueueChanges = 0;
  int FMatchesSincePump = 0;
  bool FListsUpdating = false;
  std::vector<std::string> FStartupProblems;
};

extern THanakumoForm* HanakumoForm;

// The settings routines of config.txt.
void LoadSettings(THanakumoForm& form);
void SaveSettings(THanakumoForm& form);
