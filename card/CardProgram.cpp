#include "card/CardProgram.h"

#include <mutex>

#include "bitmap32/Bitmap32PNG.h"
#include "card/MainGlobals.h"
#include "card/TrayIcon.h"
#include "classlib/Forms.h"
#include "common/WindowUtils.h"
#include "png/PngObject.h"

extern "C" void HkKeepResources_hk_card();

namespace {

// The program's icon for its windows and the tray: 32-bit with alpha.
void LoadProgramIcon() {
  TBitmap32 image;
  bool alphaUsed = false;
  LoadPngResourceToBitmap32(&image, "MAINICON", "PNG", alphaUsed);
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf32bit);
  image.AssignTo(&bitmap);
  Application->Icon().SetImage(bitmap);
}

}  // namespace

void InitializeCardProgram() {
  HkKeepResources_hk_card();
  static std::once_flag done;
  std::call_once(done, [] {
    RegisterPNGPicture();
    InitializeWindowUtils();
    RegisterTrayIconClass();
  });
  InitializeMain();
  if (Application->Icon().Empty()) LoadProgramIcon();
}
