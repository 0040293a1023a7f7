#include "classlib/controls/Dialogs.h"

#include <fnmatch.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>

#include "classlib/Forms.h"
#include "classlib/controls/Buttons.h"
#include "classlib/controls/ModalLoop.h"
#include "classlib/controls/ComboBoxes.h"
#include "classlib/controls/Edits.h"
#include "classlib/controls/ListBoxes.h"
#include "classlib/controls/TextUnits.h"
#include "platform/drivers/headless/Headless.h"

namespace fs = std::filesystem;

namespace {

std::mutex gAnswerLock;
hk::OpenDialogAnswerer gAnswerer;

std::string TrimBlanks(const std::string& s) {
  size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  struct passwd* pw = getpwuid(getuid());
  return pw ? pw->pw_dir : "/";
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

}  // namespace

namespace hk {
void SetOpenDialogAnswerer(OpenDialogAnswerer answerer) {
  std::lock_guard<std::mutex> guard(gAnswerLock);
  gAnswerer = std::move(answerer);
}
}  // namespace hk

std::vector<TOpenDialog::TFilterEntry> TOpenDialog::ParseFilter(const std::string& filter) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::vector<TFilterEntry> entries;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    TFilterEntry e;
    e.Description = parts[i];
    size_t from = 0;
    const std::string& list = parts[i + 1];
    for (;;) {
      size_t semi = list.find(';', from);
      // Blanks around a pattern are no part of it (" *.*" matches all).
      std::string p = TrimBlanks(list.substr(from, semi == std::string::npos ? std::string::npos : semi - from));
      if (!p.empty()) e.Patterns.push_back(p);
      if (semi == std::string::npos) break;
      from = semi + 1;
    }
    if (e.Patterns.empty()) e.Patterns.push_back("*");
    entries.push_back(e);
  }
  if (entries.empty()) entries.push_back(TFilterEntry{"All Files", {"*"}});
  return entries;
}

bool TOpenDialog::MatchesPattern(const std::string& name, const std::string& pattern) {
  // "*.*" means every file, also those without a dot, as on the platform.
  if (pattern == "*.*" || pattern == "*") return true;
  return fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
}

std::string TOpenDialog::StartFolder() const {
  if (!InitialDir.empty()) return IsFolder(InitialDir) ? InitialDir : HomeFolder();
  if (!FileName.empty()) {
    std::string folder = fs::path(FileName).parent_path().string();
    if (!folder.empty()) return IsFolder(folder) ? folder : HomeFolder();
  }
  std::error_code ec;
  std::string cwd = fs::current_path(ec).string();
  return IsFolder(cwd) ? cwd : HomeFolder();
}

// ---- TFileChooser

TFileChooser::TFileChooser(const std::vector<TOpenDialog::TFilterEntry>& filters, int filterIndex,
                           const std::string& folder)
    : FFilters(filters), FFilter(std::clamp(filterIndex, 0, static_cast<int>(filters.size()) - 1)) {
  FFolder = IsFolder(folder) ? folder : HomeFolder();
  Refresh();
}

void TFileChooser::SetFilterIndex(int index) {
  FFilter = std::clamp(index, 0, static_cast<int>(FFilters.size()) - 1);
  Refresh();
}

void TFileChooser::Refresh() {
  std::vector<std::string> folders, files;
  std::error_code ec;
  for (fs::directory_iterator it(FFolder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    std::error_code kind;
    if (it->is_directory(kind)) {
      folders.push_back(name + "/");
    } else {
      const auto& patterns = FFilters[static_cast<size_t>(FFilter)].Patterns;
      if (std::any_of(patterns.begin(), patterns.end(),
                      [&](const std::string& p) { return TOpenDialog::MatchesPattern(name, p); }))
        files.push_back(name);
    }
  }
  std::sort(folders.begin(), folders.end());
  std::sort(files.begin(), files.end());
  FEntries.clear();
  if (fs::path(FFolder) != fs::path(FFolder).root_path()) FEntries.push_back("../");
  FEntries.insert(FEntries.end(), folders.begin(), folders.end());
  FEntries.insert(FEntries.end(), files.begin(), files.end());
}

bool TFileChooser::Open(const std::string& entry) {
  if (!entry.empty() && entry.back() == '/') {
    fs::path next = entry == "../" ? fs::path(FFolder).parent_path() : fs::path(FFolder) / entry.substr(0, entry.size() - 1);
    if (!IsFolder(next.string())) return false;
    FFolder = next.string();
    FName.clear();
    Refresh();
    return true;
  }
  FName = entry;
  return false;
}

bool TFileChooser::Accept(const std::string& name, std::string* fullPath) {
  std::string text = TrimBlanks(name);
  if (text.empty()) return false;
  fs::path path = fs::path(text).is_absolute() ? fs::path(text) : fs::path(FFolder) / text;
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    FFolder = fs::weakly_canonical(path, ec).string();
    FName.clear();
    Refresh();
    return false;
  }
  if (!fs::is_regular_file(path, ec)) return false;
  if (fullPath) *fullPath = fs::weakly_canonical(path, ec).string();
  return true;
}

// ---- The chooser window

namespace {

class TChooserWindow {
 public:
  TChooserWindow(TOpenDialog& dialog)
      : FDialog(dialog),
        FChooser(TOpenDialog::ParseFilter(dialog.Filter), dialog.FilterIndex - 1, dialog.StartFolder()) {}

  bool Run() {
    FForm.reset(new TForm(nullptr));
    FForm->InitializeForm();
    FForm->SetCaption(FDialog.Title.empty() ? "Open" : FDialog.Title);
    FForm->SetBorderStyle(bsDialog);
    FForm->SetPosition(poScreenCenter);
    FForm->SetClientSize(420, 320);
    // It belongs to the window it was opened from, and opens above the
    // program's stay-on-top windows.
    FForm->SetPopupParent(GetActiveWindow());
    FForm->StayAboveProgramsTopmostWindows();
    FFolderLabel = Make<TEdit>(8, 8, 404, 21);
    FFolderLabel->SetReadOnly(true);
    FFolderLabel->SetTabStop(false);
    FList = Make<TListBox>(8, 36, 404, 200);
    FList->SetTabOrder(0);
    FName = Make<TEdit>(8, 244, 404, 21);
    FName->SetTabOrder(1);
    FTypes = Make<TComboBox>(8, 276, 240, 21);
    FTypes->SetTabOrder(2);
    for (const auto& f : TOpenDialog::ParseFilter(FDialog.Filter)) FTypes->Items().Add(f.Description);
    FTypes->SetItemIndex(FChooser.FilterIndex());
    auto* ok = Make<TButton>(256, 276, 75, 25);
    ok->SetCaption("&Open");
    ok->SetDefault(true);
    ok->SetTabOrder(3);
    auto* cancel = Make<TButton>(337, 276, 75, 25);
    cancel->SetCaption("Cancel");
    cancel->SetCancel(true);
    cancel->SetTabOrder(4);
    if (!FDialog.FileName.empty()) FName->SetText(fs::path(FDialog.FileName).filename().string());

    FList->OnClick = [this](TObject*) {
      int i = FList->ItemIndex();
      if (i >= 0 && FList->Items().Strings(i).back() != '/') FName->SetText(FList->Items().Strings(i));
    };
    FList->OnDblClick = [this](TObject*) {
      int i = FList->ItemIndex();
      if (i < 0) return;
      if (FChooser.Open(FList->Items().Strings(i))) Fill();
      else Accept();
    };
    FTypes->OnChange = [this](TObject*) {
      FChooser.SetFilterIndex(FTypes->ItemIndex());
      Fill();
    };
    ok->OnClick = [this](TObject*) { Accept(); };
    cancel->OnClick = [this](TObject*) { FDone = true; };
    FForm->OnClose = [this](TObject*, TCloseAction& action) {
      action = caHide;
      FDone = true;
    };
    Fill();
    FForm->Show();
    FName->SetFocus();
    RunModalLoop(FDone);
    FForm.reset();
    return FAccepted;
  }

 private:
  template <typename T>
  T* Make(int x, int y, int w, int h) {
    T* c = new T(FForm.get());
    c->SetParent(FForm.get());
    c->SetBounds(x, y, w, h);
    return c;
  }
  void Fill() {
    FFolderLabel->SetText(FChooser.Folder());
    FList->Items().BeginUpdate();
    FList->Items().Clear();
    for (const auto& e : FChooser.Entries()) FList->Items().Add(e);
    FList->Items().EndUpdate();
  }
  void Accept() {
    std::string full;
    if (FChooser.Accept(FName->TControl::Text(), &full)) {
      FDialog.FileName = full;
      FDialog.FilterIndex = FChooser.FilterIndex() + 1;
      FAccepted = true;
      FDone = true;
      return;
    }
    FName->SetText("");
    Fill();  // a folder was opened, or the name was refused
  }

  TOpenDialog& FDialog;
  TFileChooser FChooser;
  TComponentPtr<TForm> FForm;
  TEdit* FFolderLabel = nullptr;
  TListBox* FList = nullptr;
  TEdit* FName = nullptr;
  TComboBox* FTypes = nullptr;
  std::atomic<bool> FDone{false};
  bool FAccepted = false;

 public:
  void Cancel() {
    FDone = true;
    PostThreadMessageA(FThread, WM_NULL, 0, 0);
  }

 private:
  DWORD FThread = GetCurrentThreadId();
};

std::atomic<TChooserWindow*> gChooser{nullptr};

}  // namespace

bool TOpenDialog::Execute() {
  hk::OpenDialogAnswerer answer;
  {
    std::lock_guard<std::mutex> guard(gAnswerLock);
    answer = gAnswerer;
  }
  if (answer) return answer(*this);
  if (PlatformDriverName() == "headless") return false;
  return hk::RunOpenDialogWindow(*this);
}

namespace hk {

bool RunOpenDialogWindow(TOpenDialog& dialog) {
  TChooserWindow window(dialog);
  TChooserWindow* previous = gChooser.exchange(&window);
  try {
    bool accepted = window.Run();
    gChooser = previous;
    return accepted;
  } catch (...) {
    gChooser = previous;
    throw;
  }
}

void CancelOpenDialogWindow() {
  if (TChooserWindow* window = gChooser) window->Cancel();
}

}  // namespace hk
