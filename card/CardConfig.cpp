// config.ini: the card's nine settings, read at start and written at exit.
#include "card/Autostart.h"
#include "card/CardForm.h"
#include "card/MainGlobals.h"
#include "classlib/IniFiles.h"
#include "classlib/SysUtils.h"
#include "platform/Windows.h"

namespace {

constexpr const char* kSection = "Card";
constexpr int32_t kDefaultRefreshMs = 900000;

}  // namespace

void THanakumoCardForm::LoadConfig() {
  TIniFile ini(ConfigFileName);
  AutoStopRefresh = ini.ReadBool(kSection, "AutoStopRefresh", true);
  Alpha = ini.ReadInteger(kSection, "Alpha", 100);
  const int centreX = Screen->Width() / 2, centreY = Screen->Height() / 2;
  ResizingPointX = ini.ReadInteger(kSection, "ResizingPointX", centreX);
  ResizingPointY = ini.ReadInteger(kSection, "ResizingPointY", centreY);
  // A point off the screen (a screen that went away, a hand-edited file)
  // would keep the card out of sight: it reads as the default. A corner
  // anchor may lie on the screen's far edge.
  if (ResizingPointX < 0 || ResizingPointX > Screen->Width() || ResizingPointY < 0 ||
      ResizingPointY > Screen->Height()) {
    ResizingPointX = centreX;
    ResizingPointY = centreY;
  }
  ResizingFrom = static_cast<uint8_t>(ini.ReadInteger(kSection, "ResizingFrom", 0));
  CheckAnchorItem(ResizingFrom);
  DictFileName = ini.ReadString(kSection, "DictionaryFileName", ProgramDirectory() + "common.txt");
  // A period must be a positive number of milliseconds that fits a 32-bit
  // interval; a short one written by hand is kept.
  int32_t refresh = ini.ReadInteger(kSection, "RefreshTime", kDefaultRefreshMs);
  if (refresh <= 0) refresh = kDefaultRefreshMs;
  tmrRefresh->SetInterval(static_cast<uint32_t>(refresh));
  Lock1->SetChecked(ini.ReadBool(kSection, "Lock", false));
  Lock1Click(Lock1);
  if (ini.ReadBool(kSection, "FirstRun", true)) {
    // Starting with the desktop is a convenience: a failed write is said
    // once and the start goes on.
    try {
      WriteAutostartValue();
    } catch (const std::exception& e) {
      Application->ShowException(e);
    }
  }
}

void THanakumoCardForm::SaveConfig() {
  // The nine keys are one rewrite of the file (its other sections and
  // lines kept), made once they are all set, so a failure never leaves old
  // and new settings mixed. A linked config.ini is saved at the link's
  // target (the link stays); one the user may not write is left as it is,
  // and the first write says so.
  TIniFile ini(ConfigFileName);
  ini.WriteBool(kSection, "AutoStopRefresh", AutoStopRefresh);
  ini.WriteInteger(kSection, "Alpha", Alpha);
  ini.WriteInteger(kSection, "ResizingPointX", ResizingPointX);
  ini.WriteInteger(kSection, "ResizingPointY", ResizingPointY);
  ini.WriteInteger(kSection, "ResizingFrom", ResizingFrom);
  ini.WriteString(kSection, "DictionaryFileName", DictFileName);
  ini.WriteInteger(kSection, "RefreshTime", static_cast<int32_t>(tmrRefresh->Interval()));
  ini.WriteBool(kSection, "Lock", Lock1->Checked());
  ini.WriteBool(kSection, "FirstRun", false);
  ini.UpdateFile();
}
