// The flash-card program: the card window and its settings dialog, driven
// from the tray icon until the menu's Exit.
#include "card/CardForm.h"
#include "card/CardProgram.h"
#include "card/SettingsForm.h"
#include "classlib/Forms.h"

int main() {
  try {
    InitializeCardProgram();
    Application->Initialize();
    Application->CreateForm(HanakumoCardForm);
    Application->CreateForm(SettingsForm);
    Application->Run();
  } catch (const std::exception& e) {
    return ShowStartupException(e);
  }
  return 0;
}
