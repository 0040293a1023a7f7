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
  const bool renamed = name != DictFileName;
  // The same name is read again while no dictionary is loaded: the one the
  // start could not read may be back.
  const bool reload = renamed || DictionaryText->empty();
  // A new name that cannot be opened as a dictionary (missing, a folder, a
  // FIFO, a device, a file we may not read), or a file that holds none
  // (empty, a program), is neither loaded nor saved: the next start would
  // fail on it. It is read here, before anything changes, and its error
  // names the file and the reason. The name already saved stays saved
  // with the check box.
  std::shared_ptr<const WideString> text;
  if (reload) {
    try {
      text = std::make_shared<const WideString>(ReadDictionaryText(name));
    } catch (const EDictionaryFileError& e) {
      if (!renamed) SaveSettings(*this);
      if (DictionaryText->empty()) throw;
      throw EDictionaryFileError(e.Message() + "\r\nThe dictionary in use is kept.");
    } catch (const Exception&) {
      if (!renamed) SaveSettings(*this);
      throw;
    }
  }
  // The settings are saved whatever the reload does, so they are written
  // first; a save that fails still reaches the application's handler.
  SaveSettings(*this);
  if (!reload) return;
  FPendingDictFile = name;
  FPendingText = std::move(text);
  // A running scan keeps its text; the new one takes over when it ends.
  if (!FSearching) ReloadDictionary();
}

void THanakumoForm::ReloadDictionary() {
  if (!FPendingText) return;
  DictionaryText = std::move(FPendingText);
  DictFileName = std::move(FPendingDictFile);
  FPendingText.reset();
  FPendingDictFile.clear();
}

namespace {

void OpenAddress(const std::string& address) {
  ShellExecuteA(nullptr, "open", address.c_str(), "", "", SW_SHOW);
}

}  // namespace

void THanakumoForm::lblEDICTLinkClick(TObject*) { OpenAddress(lblEDICTLink->Caption()); }
void THanakumoForm::lblMakerLinkClick(TObject*) { OpenAddress(lblMakerLink->Caption()); }
void THanakumoForm::lblDonateClick(TObject*) { OpenAddress(DonateAddress); }
