#include "dict/DictionaryProgram.h"

#include <mutex>

#include "common/WindowUtils.h"
#include "dict/DataFiles.h"
#include "gif/GifCodec.h"
#include "png/PngObject.h"

extern "C" void HkKeepResources_hk_dict();

void InitializeDictionaryProgram() {
  HkKeepResources_hk_dict();
  static std::once_flag done;
  std::call_once(done, [] {
    InitializeDataFiles();
    InitializeWindowUtils();
    RegisterPNGPicture();
    InitializeGIFCodec();
  });
}
