// Modules and the tables of functions bound by name.
#include "platform/Modules.h"
#include "platform/AsciiCase.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/Layered.h"
#include "platform/Input.h"
#include "platform/Messages.h"
#include "platform/Window.h"

namespace {

// Module handles are small fixed values; the program's own is 0x400000 as
// the platform gives it.
HMODULE ProgramModule() { return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000)); }

struct TModule {
  std::string Name;  // lower case, without ".dll"
  HMODULE Handle;
  std::map<std::string, FARPROC> Exports;
  int References = 0;
};

std::map<std::string, FARPROC> DefaultExports(const std::string& module) {
  std::map<std::string, FARPROC> e;
  if (module == "user32") {
    e["UpdateLayeredWindow"] = ToFarProc(&UpdateLayeredWindow);
    e["SetLayeredWindowAttributes"] = ToFarProc(&SetLayeredWindowAttributes);
    e["GetLayeredWindowAttributes"] = ToFarProc(&GetLayeredWindowAttributes);
    e["AnimateWindow"] = ToFarProc(&AnimateWindow);
    e["TrackMouseEvent"] = ToFarProc(&TrackMouseEvent);
  }
  return e;
}

struct TModules {
  std::mutex Lock;
  std::map<std::string, TModule> ByName;
  TModules() { Reset(); }
  void Reset() {
    ByName.clear();
    uintptr_t next = 0x10000000;
    for (const char* name : {"user32", "kernel32", "gdi32"}) {
      TModule m;
      m.Name = name;
      m.Handle = reinterpret_cast<HMODULE>(next);
      next += 0x100000;
      m.Exports = DefaultExports(name);
      ByName.emplace(name, std::move(m));
    }
  }
  TModule* ByHandle(HMODULE h) {
    for (auto& [name, m] : ByName)
      if (m.Handle == h) return &m;
    return nullptr;
  }
};

TModules& Modules() {
  static TModules modules;
  return modules;
}

std::string Key(const char* name) {
  std::string k = hkwin::AsciiLower(std::string(name ? name : ""));
  // A path names its file; ".dll" is optional.
  size_t slash = k.find_last_of("/\\");
  if (slash != std::string::npos) k = k.substr(slash + 1);
  if (k.size() > 4 && k.compare(k.size() - 4, 4, ".dll") == 0) k.resize(k.size() - 4);
  return k;
}

}  // namespace

HMODULE GetModuleHandleA(const char* name) {
  if (name == nullptr) return ProgramModule();
  std::lock_guard<std::mutex> guard(Modules().Lock);
  auto it = Modules().ByName.find(Key(name));
  return it == Modules().ByName.end() ? nullptr : it->second.Handle;
}

HMODULE LoadLibraryA(const char* name) {
  if (name == nullptr) return nullptr;
  std::lock_guard<std::mutex> guard(Modules().Lock);
  auto it = Modules().ByName.find(Key(name));
  if (it == Modules().ByName.end()) return nullptr;
  ++it->second.References;
  return it->second.Handle;
}

BOOL FreeLibrary(HMODULE module) {
  std::lock_guard<std::mutex> guard(Modules().Lock);
  TModule* m = Modules().ByHandle(module);
  if (m == nullptr || m->References <= 0) return FALSE;
  --m->References;
  return TRUE;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (module == nullptr || name == nullptr || IS_INTRESOURCE(name)) return nullptr;
  std::lock_guard<std::mutex> guard(Modules().Lock);
  TModule* m = Modules().ByHandle(module);
  if (m == nullptr) return nullptr;
  auto it = m->Exports.find(name);
  return it == m->Exports.end() ? nullptr : it->second;
}

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  if (module != nullptr && module != ProgramModule()) return 0;
  char path[4096];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return 0;
  size_t len = static_cast<size_t>(n);
  // Too small a buffer gets the truncated path, as the platform does.
  size_t copy = std::min<size_t>(len, size - 1);
  std::memcpy(buffer, path, copy);
  buffer[copy] = 0;
  return static_cast<DWORD>(copy);
}

void SetModuleExport(const char* module, const char* name, FARPROC function) {
  if (module == nullptr || name == nullptr) return;
  std::lock_guard<std::mutex> guard(Modules().Lock);
  auto it = Modules().ByName.find(Key(module));
  if (it == Modules().ByName.end()) return;
  if (function == nullptr) it->second.Exports.erase(name);
  else it->second.Exports[name] = function;
}

void ResetModuleExports() {
  std::lock_guard<std::mutex> guard(Modules().Lock);
  Modules().Reset();
}
