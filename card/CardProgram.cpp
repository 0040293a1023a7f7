#include "card/CardProgram.h"

#include <mutex>

#include "card/MainGlobals.h"
#include "card/TrayIcon.h"
#include "common/WindowUtils.h"
#include "png/PngObject.h"

extern "C" void HkKeepResources_hk_card();

void InitializeCardProgram() {
  HkKeepResources_hk_card();
  static std::once_flag done;
  std::call_once(done, [] {
    RegisterPNGPicture();
    InitializeWindowUtils();
    RegisterTrayIconClass();
  });
  InitializeMain();
}
