// The settings page (dictionary file and line numbers, kept in config.txt)
// and the about page's links.
#include "classlib/IniFiles.h"
#include "classlib/Streams.h"
#include "classlib/SysUtils.h"
#include "classlib/controls/Dialogs.h"
#include "dict/AboutLinks.h"
#include "dict/DataFiles.h"
#include "dict/MainForm.h"
#include "platform/services/Shell.h"

void LoadSettings(THanakumoForm& form) {
  TIniFile ini(ConfigFileName);
  form.chkShowLineNumber->SetChecked(ini.ReadBool("Dictionary", "ShowLineNumber", true));
  if (!DictFileName.empty()) form.edtDictFileName->SetText(DictFileName);
}

void SaveSettings(THanakumoForm& form) {
  TIniFile ini(ConfigFileName);
  ini.WriteBool("Dictionary", "ShowLineNumber", form.chkShowLineNumber->Checked());
  ini.WriteString("Dictionary", "DictionaryFileName", form.edtDictFileName->Text());
  ini.UpdateFile();
}

void THanakumoForm::btnBrowseDictFileClick(TObject*) {
  if (dlgOpen1->Execute()) edtDictFileName->SetText(dlgOpen1->FileName);
}

void THanakumoForm::btnApplyClick(TObject*) {
  const std::string name = edtDictFileName->Text();
  // A new name that cannot be opened as a dictionary (missing, a folder, a
  // FIFO, a device, a file we may not read) is neither loaded nor saved:
  // the next start would fail on it.  Opening it here raises the file
  // error, naming the file and the reason, before anything changes.
  const bool reload = name != DictFileName;
  if (reload) TFileStream probe(name, fmOpenRead | fmShareDenyWrite);
  // The settings are saved whatever the reload does, so they are written
  // first; a reload that fails still reaches the application's handler.
  SaveSettings(*this);
  if (!reload) return;
  FPendingDictFile = name;
  // A running scan keeps its text; the reload waits until the search ends.
  if (!FSearching) ReloadDictionary();
}

void THanakumoForm::ReloadDictionary() {
  if (FPendingDictFile.empty()) return;
  const std::string name = std::move(FPendingDictFile);
  FPendingDictFile.clear();
  // Read whole before anything is replaced: a file that cannot be read
  // keeps the dictionary and its name in use.
  auto text = std::make_shared<const WideString>(ReadDictionaryText(name));
  DictionaryText = std::move(text);
  DictFileName = name;
}

namespace {

void OpenAddress(const std::string& address) {
  ShellExecuteA(nullptr, "open", address.c_str(), "", "", SW_SHOW);
}

}  // namespace

void THanakumoForm::lblEDICTLinkClick(TObject*) { OpenAddress(lblEDICTLink->Caption()); }
void THanakumoForm::lblMakerLinkClick(TObject*) { OpenAddress(lblMakerLink->Caption()); }
void THanakumoForm::lblDonateClick(TObject*) { OpenAddress(DonateAddress); }
