#include "card/Autostart.h"

#include <string>

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
  try {
    registry.WriteString(RunValueName, Application->ExeName());
  } catch (const ERegistryException&) {
    // The registry's own words name only the value: the user needs the
    // entry and the file that could not be written.
    throw ERegistryException(std::string("Could not start ") + RunValueName +
                             " with the desktop: the autostart entry '" + RunValueName + "' could not be written to " +
                             TRegistry::AutostartDirectory() + "/" + RunValueName + ".desktop");
  }
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
