#include "card/Autostart.h"

#include "card/MainGlobals.h"
#include "classlib/Forms.h"
#include "classlib/Registry.h"

namespace {

void OpenRunKey(TRegistry& registry) {
  registry.SetRootKey(HKEY_CURRENT_USER);
  registry.OpenKey(RunKey, true);  // a failure shows in the write
}

}  // namespace

void WriteAutostartValue() {
  TRegistry registry;
  OpenRunKey(registry);
  registry.WriteString(RunValueName, Application->ExeName());
}

void DeleteAutostartValue() {
  TRegistry registry;
  OpenRunKey(registry);
  registry.DeleteValue(RunValueName);
}

bool AutostartValueSet() {
  TRegistry registry;
  OpenRunKey(registry);
  return !registry.ReadString(RunValueName).empty();
}
