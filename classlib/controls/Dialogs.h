// The open-file dialog. Execute shows our own chooser window (folders, the
// files that match the chosen filter, a name field) and runs its messages
// until the user accepts or cancels; headless, the test's answerer decides.
// A folder that does not exist opens the chooser at the user's home.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "classlib/Components.h"

class TOpenDialog : public TComponent {
 public:
  explicit TOpenDialog(TComponent* owner) : TComponent(owner) {}

  // "Text Files (*.txt)|*.txt|All Files (*.*)|*.*": descriptions and
  // patterns in turn; a pattern may list several, separated by ';'.
  std::string Filter;
  int FilterIndex = 1;  // 1-based, as the platform counts
  std::string FileName;
  std::string InitialDir;
  std::string Title;

  // True when the user accepted a file (FileName is then its full path).
  virtual bool Execute();

  struct TFilterEntry {
    std::string Description;
    std::vector<std::string> Patterns;  // without surrounding blanks
  };
  static std::vector<TFilterEntry> ParseFilter(const std::string& filter);
  // Whether a file name matches a pattern ('*' and '?', case kept).
  static bool MatchesPattern(const std::string& name, const std::string& pattern);
  // Where the chooser opens: InitialDir, else the folder of FileName, else
  // the working folder; one that does not exist gives the user's home.
  std::string StartFolder() const;
};

// What the chooser shows and does, apart from its window (tests drive it).
class TFileChooser {
 public:
  TFileChooser(const std::vector<TOpenDialog::TFilterEntry>& filters, int filterIndex, const std::string& folder);
  const std::string& Folder() const { return FFolder; }
  // Folders first ("..", then sub folders, each ending in '/'), then the
  // matching files, each group by name.
  const std::vector<std::string>& Entries() const { return FEntries; }
  void SetFilterIndex(int index);  // 0-based here
  int FilterIndex() const { return FFilter; }
  // A folder entry opens it (true); a file entry becomes the name.
  bool Open(const std::string& entry);
  // The name field's text: a folder opens it (false); an existing file, or
  // a name in the current folder that exists, is accepted with its full
  // path (true). A missing file is refused (false).
  bool Accept(const std::string& name, std::string* fullPath);
  const std::string& Name() const { return FName; }

 private:
  void Refresh();
  std::vector<TOpenDialog::TFilterEntry> FFilters;
  int FFilter;
  std::string FFolder;
  std::string FName;
  std::vector<std::string> FEntries;
};

namespace hk {
// Headless (or in tests): decides each Execute; may set FileName. Without
// one, a headless Execute is cancelled.
using OpenDialogAnswerer = std::function<bool(TOpenDialog& dialog)>;
void SetOpenDialogAnswerer(OpenDialogAnswerer answerer);
// The chooser window itself, whatever the driver (what Execute shows on a
// display), and a way to end it from another thread.
bool RunOpenDialogWindow(TOpenDialog& dialog);
void CancelOpenDialogWindow();
}  // namespace hk
