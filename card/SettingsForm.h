// The card's settings dialog: dictionary file, refresh period, anchor kind,
// opacity with a live preview, Lock, the full-screen pause and starting
// with the desktop. OK applies everything to the running card and shows a
// new one; Cancel throws the edits away. Nothing here writes config.ini:
// the card saves what was applied when the program ends.
#pragma once

#include <cstdint>
#include <string>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "classlib/controls/Buttons.h"
#include "classlib/controls/ComboBoxes.h"
#include "classlib/controls/Dialogs.h"
#include "classlib/controls/Edits.h"
#include "classlib/controls/TrackBars.h"

// The most minutes whose milliseconds config.ini keeps: the period is
// stored as a positive 32-bit integer, and a longer one would come back as
// the default at the next start.
constexpr uint32_t MaxRefreshMinutes = 35791;

// Whether the text is a refresh period the dialog takes: digits only, a
// value from 1 to MaxRefreshMinutes (leading zeros allowed).
bool ParseRefreshMinutes(const std::string& text, uint32_t& minutes);

class TSettingsForm : public TForm {
 public:
  using TForm::TForm;

  TLabel* lbl5 = nullptr;
  TEdit* edtDictFileName = nullptr;
  TButton* btnBrowse = nullptr;
  TLabel* lbl2 = nullptr;
  TEdit* edtRefreshTime = nullptr;
  TLabel* lbl3 = nullptr;
  TLabel* lbl1 = nullptr;
  TComboBox* cbbResizeFrom = nullptr;
  TLabel* lbl4 = nullptr;
  TTrackBar* trkTransparency = nullptr;
  TCheckBox* chkLock = nullptr;
  TCheckBox* chkAutoStop = nullptr;
  TCheckBox* chkStart = nullptr;
  TBevel* bvl1 = nullptr;
  TButton* btnOK = nullptr;
  TButton* btnClose = nullptr;
  TOpenDialog* dlgOpen1 = nullptr;

  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  void btnOKClick(TObject* sender);
  void btnCloseClick(TObject* sender);
  void trkTransparencyChange(TObject* sender);
  void edtRefreshTimeExit(TObject* sender);
  void btnBrowseClick(TObject* sender);

 protected:
  void WndProc(TMessage& message) override;

 private:
  // Says the refresh text is refused and puts the focus back on it.
  void RefuseRefreshTime();
  // The check of a refresh field the focus left, once the focus has landed.
  void CheckLeftRefreshTime();
  // The refresh text as the dialog showed it: an untouched field keeps the
  // period as it is (a period under a minute shows as 0).
  std::string FShownRefreshText;
};

extern TSettingsForm* SettingsForm;
