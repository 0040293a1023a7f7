#include "common/WindowUtils.h"

#include <mutex>

#include "platform/Modules.h"

PFN_UpdateLayeredWindow UpdateLayeredWindowFunc = nullptr;
PFN_AnimateWindow AnimateWindowFunc = nullptr;
PFN_SetLayeredWindowAttributes SetLayeredWindowAttributesFunc = nullptr;

namespace {

template <typename F>
F Bind(HMODULE module, const char* name) {
  return reinterpret_cast<F>(GetProcAddress(module, name));
}

}  // namespace

void BindLayeredWindowFunctions() {
  UpdateLayeredWindowFunc = nullptr;
  AnimateWindowFunc = nullptr;
  SetLayeredWindowAttributesFunc = nullptr;
  HMODULE user32 = GetModuleHandleA("User32.dll");
  if (user32 == nullptr) return;
  UpdateLayeredWindowFunc = Bind<PFN_UpdateLayeredWindow>(user32, "UpdateLayeredWindow");
  AnimateWindowFunc = Bind<PFN_AnimateWindow>(user32, "AnimateWindow");
  SetLayeredWindowAttributesFunc = Bind<PFN_SetLayeredWindowAttributes>(user32, "SetLayeredWindowAttributes");
}

void InitializeWindowUtils() {
  static std::once_flag bound;
  std::call_once(bound, BindLayeredWindowFunctions);
}
