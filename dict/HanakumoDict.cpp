// The dictionary program: a splash window while the dictionary loads, then
// the main window until it is closed.
#include "classlib/Forms.h"
#include "common/WindowUtils.h"
#include "dict/DataFiles.h"
#include "dict/DictionaryProgram.h"
#include "dict/LoadingForm.h"
#include "dict/MainForm.h"

int main() {
  try {
    InitializeDictionaryProgram();
    Application->Initialize();
    TLoadingForm* loading = CreateFormOf<TLoadingForm>(Application);
    loading->Show();
    loading->Update();
    // A data file that cannot be read is told once the main window is up,
    // so the settings page can choose another dictionary.
    std::vector<std::string> problems = LoadStartupFiles();
    Application->SetTitle("Hanakumo Dictionary");
    Application->CreateForm(HanakumoForm);
    loading->Hide();
    FreeComponent(loading);
    HanakumoForm->ReportStartupProblems(std::move(problems));
    Application->Run();
  } catch (const std::exception& e) {
    return ShowStartupException(e);
  }
  return 0;
}
