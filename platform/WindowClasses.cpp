// Window classes and procedures bound to objects.
#include "platform/AsciiCase.h"
#include <cstring>

#include "platform/WindowInternals.h"

namespace hkwin {
namespace {

std::string Lower(const char* s) {
  return AsciiLower(std::string(s ? s : ""));
}

std::map<std::string, PWindowClass>& Classes() {
  static std::map<std::string, PWindowClass> classes;
  return classes;
}

ATOM gNextAtom = 0xC000;

// Platform values standing for procedures bound to objects.
struct TObjectProc {
  TWindowProcFunction Function;
};
HandleTable<WNDPROC, TObjectProc>& ObjectProcs() {
  static HandleTable<WNDPROC, TObjectProc> table(0xF7);
  return table;
}

}  // namespace

PWindowClass FindClass(const std::string& name) {
  std::lock_guard<std::recursive_mutex> guard(TreeLock());
  auto it = Classes().find(Lower(name.c_str()));
  return it == Classes().end() ? nullptr : it->second;
}

LRESULT CallProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (proc == nullptr) return 0;
  uintptr_t v = reinterpret_cast<uintptr_t>(proc);
  if ((v >> 24) == 0xF7 && v <= 0xFFFFFFFFu) {
    auto object = ObjectProcs().Get(proc);
    if (!object) return 0;
    return object->Function(hwnd, msg, wParam, lParam);
  }
  return proc(hwnd, msg, wParam, lParam);
}

}  // namespace hkwin

using namespace hkwin;

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
  if (wc == nullptr || wc->lpszClassName == nullptr || *wc->lpszClassName == 0 || wc->lpfnWndProc == nullptr)
    return 0;
  if (wc->cbWndExtra < 0 || wc->cbClsExtra < 0 || wc->cbWndExtra > 40000) return 0;
  std::lock_guard<std::recursive_mutex> guard(TreeLock());
  std::string key = Lower(wc->lpszClassName);
  if (Classes().count(key)) return 0;
  auto c = std::make_shared<TWindowClass>();
  c->Name = wc->lpszClassName;
  c->Style = wc->style;
  c->Proc = wc->lpfnWndProc;
  c->ClsExtra = wc->cbClsExtra;
  c->WndExtra = wc->cbWndExtra;
  c->Instance = wc->hInstance;
  c->Icon = wc->hIcon;
  c->IconSm = wc->hIconSm;
  c->Cursor = wc->hCursor;
  c->Background = wc->hbrBackground;
  c->Atom = gNextAtom++;
  Classes().emplace(key, c);
  return c->Atom;
}

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (wc == nullptr) return 0;
  WNDCLASSEXA ex{};
  ex.cbSize = sizeof ex;
  ex.style = wc->style;
  ex.lpfnWndProc = wc->lpfnWndProc;
  ex.cbClsExtra = wc->cbClsExtra;
  ex.cbWndExtra = wc->cbWndExtra;
  ex.hInstance = wc->hInstance;
  ex.hIcon = wc->hIcon;
  ex.hCursor = wc->hCursor;
  ex.hbrBackground = wc->hbrBackground;
  ex.lpszMenuName = wc->lpszMenuName;
  ex.lpszClassName = wc->lpszClassName;
  return RegisterClassExA(&ex);
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
  if (className == nullptr) return FALSE;
  std::lock_guard<std::recursive_mutex> guard(TreeLock());
  std::string key = Lower(className);
  auto it = Classes().find(key);
  if (it == Classes().end()) return FALSE;
  // A class still used by a window stays.
  bool used = false;
  Windows().ForEach([&](HWND, const PWindow& w) {
    if (w->Class == it->second) used = true;
  });
  if (used) return FALSE;
  Classes().erase(it);
  return TRUE;
}

BOOL GetClassInfoExA(HINSTANCE, const char* className, WNDCLASSEXA* wc) {
  if (className == nullptr || wc == nullptr) return FALSE;
  PWindowClass c = FindClass(className);
  if (!c) return FALSE;
  wc->cbSize = sizeof *wc;
  wc->style = c->Style;
  wc->lpfnWndProc = c->Proc;
  wc->cbClsExtra = c->ClsExtra;
  wc->cbWndExtra = c->WndExtra;
  wc->hInstance = c->Instance;
  wc->hIcon = c->Icon;
  wc->hCursor = c->Cursor;
  wc->hbrBackground = c->Background;
  wc->lpszMenuName = nullptr;
  wc->lpszClassName = className;
  wc->hIconSm = c->IconSm;
  return TRUE;
}

BOOL GetClassInfoA(HINSTANCE instance, const char* className, WNDCLASSA* wc) {
  WNDCLASSEXA ex{};
  if (wc == nullptr || !GetClassInfoExA(instance, className, &ex)) return FALSE;
  wc->style = ex.style;
  wc->lpfnWndProc = ex.lpfnWndProc;
  wc->cbClsExtra = ex.cbClsExtra;
  wc->cbWndExtra = ex.cbWndExtra;
  wc->hInstance = ex.hInstance;
  wc->hIcon = ex.hIcon;
  wc->hCursor = ex.hCursor;
  wc->hbrBackground = ex.hbrBackground;
  wc->lpszMenuName = nullptr;
  wc->lpszClassName = className;
  return TRUE;
}

int GetClassNameA(HWND hwnd, char* buffer, int size) {
  PWindow w = Find(hwnd);
  if (!w || !w->Class || buffer == nullptr || size <= 0) return 0;
  int n = static_cast<int>(std::min<size_t>(w->Class->Name.size(), static_cast<size_t>(size - 1)));
  std::memcpy(buffer, w->Class->Name.data(), static_cast<size_t>(n));
  buffer[n] = 0;
  return n;
}

ULONG_PTR GetClassLongPtrA(HWND hwnd, int index) {
  PWindow w = Find(hwnd);
  if (!w || !w->Class) return 0;
  const TWindowClass& c = *w->Class;
  switch (index) {
    case GCL_STYLE: return c.Style;
    case GCLP_HBRBACKGROUND: return reinterpret_cast<ULONG_PTR>(c.Background);
    case GCLP_HCURSOR: return reinterpret_cast<ULONG_PTR>(c.Cursor);
    case GCLP_HICON: return reinterpret_cast<ULONG_PTR>(c.Icon);
    case GCLP_WNDPROC: return reinterpret_cast<ULONG_PTR>(c.Proc);
    default: return 0;
  }
}

ULONG_PTR SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  PWindow w = Find(hwnd);
  if (!w || !w->Class) return 0;
  TWindowClass& c = *w->Class;
  ULONG_PTR old = GetClassLongPtrA(hwnd, index);
  switch (index) {
    case GCL_STYLE: c.Style = static_cast<UINT>(value); break;
    case GCLP_HBRBACKGROUND: c.Background = reinterpret_cast<HBRUSH>(value); break;
    case GCLP_HCURSOR: c.Cursor = reinterpret_cast<HCURSOR>(value); break;
    case GCLP_HICON: c.Icon = reinterpret_cast<HICON>(value); break;
    case GCLP_WNDPROC: c.Proc = reinterpret_cast<WNDPROC>(value); break;
    default: return 0;
  }
  return old;
}

WNDPROC MakeObjectWindowProc(TWindowProcFunction function) {
  if (!function) return nullptr;
  auto object = std::make_shared<TObjectProc>();
  object->Function = std::move(function);
  return ObjectProcs().Add(object);
}

void FreeObjectWindowProc(WNDPROC proc) { ObjectProcs().Remove(proc); }

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return CallProc(proc, hwnd, msg, wParam, lParam);
}
