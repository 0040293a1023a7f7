#include "card/SettingsForm.h"

#include "card/Autostart.h"
#include "card/CardForm.h"
#include "card/MainGlobals.h"
#include "classlib/FormReader.h"
#include "classlib/SysUtils.h"
#include "common/WindowUtils.h"
#include "platform/Windows.h"

TSettingsForm* SettingsForm = nullptr;

bool ParseRefreshMinutes(const std::string& text, uint32_t& minutes) {
  if (text.empty()) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > MaxRefreshMinutes) return false;
  }
  if (value == 0) return false;
  minutes = static_cast<uint32_t>(value);
  return true;
}

void TSettingsForm::FormCreate(TObject*) {
  // The dialog belongs to the card, so it opens above the stay-on-top card
  // and stays above it when a refresh raises the card again.
  if (HanakumoCardForm) SetPopupParent(HanakumoCardForm->Handle());
  // No selection-range channel on the opacity bar. Its window stands on
  // the dialog's, made first.
  Handle();
  HWND bar = trkTransparency->Handle();
  SetWindowLongA(bar, GWL_STYLE, GetWindowLongA(bar, GWL_STYLE) & ~LONG_PTR{TBS_ENABLESELRANGE});
}

void TSettingsForm::FormShow(TObject*) {
  edtDictFileName->SetText(DictFileName);
  FShownRefreshText = IntToStr(static_cast<int64_t>(HanakumoCardForm->tmrRefresh->Interval() / 60000));
  edtRefreshTime->SetText(FShownRefreshText);
  cbbResizeFrom->SetItemIndex(ResizingFrom <= 4 ? ResizingFrom : -1);
  trkTransparency->SetPosition(Alpha);  // its change event previews the opacity
  chkLock->SetChecked(HanakumoCardForm->Lock1->Checked());
  chkAutoStop->SetChecked(AutoStopRefresh);
  chkStart->SetChecked(AutostartValueSet());
}

void TSettingsForm::trkTransparencyChange(TObject*) {
  if (HanakumoCardForm) SetLayeredWindowAlpha(HanakumoCardForm->Handle(), trkTransparency->Position());
}

void TSettingsForm::RefuseRefreshTime() {
  MessageBoxA(Handle(), "Please enter valid number", "Error", MB_ICONERROR);
  edtRefreshTime->SetFocus();
}

namespace {

constexpr UINT kCheckRefreshTime = WM_APP + 1;

}  // namespace

void TSettingsForm::edtRefreshTimeExit(TObject*) {
  // The focus may be leaving for a message box (whose own check would then
  // start another), another program, or OK or Close, which decide for
  // themselves: the field is checked once the focus has landed.
  if (HandleAllocated()) PostMessageA(Handle(), kCheckRefreshTime, 0, 0);
}

void TSettingsForm::CheckLeftRefreshTime() {
  if (!Visible() || edtRefreshTime->Text() == FShownRefreshText) return;
  HWND to = GetFocus();
  if (to == nullptr || GetAncestor(to, GA_ROOT) != Handle()) return;
  if (to == edtRefreshTime->Handle() || to == btnOK->Handle() || to == btnClose->Handle()) return;
  uint32_t minutes = 0;
  if (!ParseRefreshMinutes(edtRefreshTime->Text(), minutes)) RefuseRefreshTime();
}

void TSettingsForm::WndProc(TMessage& message) {
  if (message.Msg == kCheckRefreshTime) {
    CheckLeftRefreshTime();
    return;
  }
  TForm::WndProc(message);
}

void TSettingsForm::btnBrowseClick(TObject*) {
  if (dlgOpen1->Execute()) edtDictFileName->SetText(dlgOpen1->FileName);
}

void TSettingsForm::btnOKClick(TObject*) {
  // Enter presses OK while the field may still hold the focus, before its
  // own check ran: the same rule holds here, and a refused value applies
  // nothing.
  THanakumoCardForm& card = *HanakumoCardForm;
  const bool edited = edtRefreshTime->Text() != FShownRefreshText;
  uint32_t minutes = 0;
  if (edited && !ParseRefreshMinutes(edtRefreshTime->Text(), minutes)) {
    RefuseRefreshTime();
    return;
  }
  const std::string fileName = edtDictFileName->Text();
  if (FileExists(fileName) && fileName != DictFileName) card.ReplaceDictionary(fileName);
  if (edited) card.tmrRefresh->SetInterval(minutes * 60000u);
  card.tmrRefresh->SetEnabled(false);
  card.tmrRefresh->SetEnabled(true);
  TMenuItem* anchors[] = {card.Center1, card.TopLeft1, card.TopRight1, card.BottomLeft1, card.BottomRight1};
  const int kind = cbbResizeFrom->ItemIndex();
  if (kind >= 0 && kind <= 4) {
    anchors[kind]->Click();
    anchors[kind]->SetChecked(true);
  }
  Alpha = trkTransparency->Position();
  card.Lock1->SetChecked(chkLock->Checked());
  card.Lock1Click(card.Lock1);
  AutoStopRefresh = chkAutoStop->Checked();
  if (chkStart->Checked()) WriteAutostartValue();
  else DeleteAutostartValue();
  Close();
  card.RefreshCard();
}

void TSettingsForm::btnCloseClick(TObject* sender) {
  FormShow(sender);
  Close();
}

namespace {

const bool registered = [] {
  RegisterClass<TSettingsForm, TForm>("TSettingsForm");
  auto F = [](const char* name, auto field) { RegisterField(name, field); };
  F("lbl5", &TSettingsForm::lbl5);
  F("edtDictFileName", &TSettingsForm::edtDictFileName);
  F("btnBrowse", &TSettingsForm::btnBrowse);
  F("lbl2", &TSettingsForm::lbl2);
  F("edtRefreshTime", &TSettingsForm::edtRefreshTime);
  F("lbl3", &TSettingsForm::lbl3);
  F("lbl1", &TSettingsForm::lbl1);
  F("cbbResizeFrom", &TSettingsForm::cbbResizeFrom);
  F("lbl4", &TSettingsForm::lbl4);
  F("trkTransparency", &TSettingsForm::trkTransparency);
  F("chkLock", &TSettingsForm::chkLock);
  F("chkAutoStop", &TSettingsForm::chkAutoStop);
  F("chkStart", &TSettingsForm::chkStart);
  F("bvl1", &TSettingsForm::bvl1);
  F("btnOK", &TSettingsForm::btnOK);
  F("btnClose", &TSettingsForm::btnClose);
  F("dlgOpen1", &TSettingsForm::dlgOpen1);
  auto H = [](const char* name, auto method) { RegisterHandler(name, method); };
  H("FormCreate", &TSettingsForm::FormCreate);
  H("FormShow", &TSettingsForm::FormShow);
  H("btnOKClick", &TSettingsForm::btnOKClick);
  H("btnCloseClick", &TSettingsForm::btnCloseClick);
  H("trkTransparencyChange", &TSettingsForm::trkTransparencyChange);
  H("edtRefreshTimeExit", &TSettingsForm::edtRefreshTimeExit);
  H("btnBrowseClick", &TSettingsForm::btnBrowseClick);
  return true;
}();

}  // namespace
