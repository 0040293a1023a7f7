// Processor feature tests, the theme object that follows visual styles, and
// the performance timer made at start-up.
#pragma once

#include <cstdint>

#include "platform/Messages.h"
#include "platform/Types.h"

enum TCPUFeature { cfMMX, cfExtMMX, cfSSE, cfSSE2, cf3DNow, cf3DNowExt };

// Runs CPUID each time; callers keep what they chose.
bool CPUHasFeature(TCPUFeature feature);
inline bool CPUHasMMX() { return CPUHasFeature(cfMMX); }
inline bool CPUHas3DNow() { return CPUHasFeature(cf3DNow); }
// AVX2 with the operating system saving the wide registers.
bool CPUHasAVX2();
// That, and AVX-512 F, BW and VBMI with the 512-bit registers saved as well.
bool CPUHasAVX512VBMI();

// The raw registers the feature test reads; a test swaps this to play other
// processors. Returns false when the leaf is not available.
struct TCPUIDRegs {
  uint32_t eax, ebx, ecx, edx;
};
using TCPUIDFunc = bool (*)(uint32_t leaf, TCPUIDRegs& regs);
extern TCPUIDFunc CPUIDQuery;
bool NativeCPUID(uint32_t leaf, TCPUIDRegs& regs);

// ---- Themes through uxtheme.dll, bound by name.

using HTHEME = void*;
// How the theme library is reached; the defaults are the platform's module
// calls, tests put in a fake library.
struct TThemeLibraryHooks {
  HMODULE (*Load)(const char* name);
  FARPROC (*GetProc)(HMODULE module, const char* name);
  BOOL (*Free)(HMODULE module);
};
extern TThemeLibraryHooks ThemeLibraryHooks;

// The entry points, nil while not bound.
struct TThemeEntryPoints {
  HTHEME (*OpenThemeData)(HWND, const char16_t*);
  LONG (*CloseThemeData)(HTHEME);
  FARPROC DrawThemeBackground, DrawThemeEdge, GetThemeColor, GetThemeMetric, GetThemeMargins, SetWindowTheme;
  BOOL (*IsThemeActive)();
  BOOL (*IsAppThemed)();
  FARPROC EnableTheming;
};
extern TThemeEntryPoints ThemeAPI;
extern bool UseThemes;
extern HTHEME ScrollbarTheme;
extern HTHEME GlobalsTheme;

bool LoadThemeLibrary();
void FreeThemeLibrary();
bool ThemeLibraryLoaded();
bool CanUseThemes();

// Keeps the theme handles open for a hidden window and reopens them when the
// visual style changes.
class TThemeNexus {
 public:
  TThemeNexus();
  ~TThemeNexus();
  TThemeNexus(const TThemeNexus&) = delete;
  TThemeNexus& operator=(const TThemeNexus&) = delete;
  // The hidden window that hears of style changes.
  HWND Handle() const { return FWindowHandle; }
  void OpenThemes();
  void CloseThemes();
  // The hidden window's procedure: a style change reopens the handles.
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  HWND FWindowHandle = nullptr;
};

// The one instance, made on first use.
TThemeNexus& ThemeNexus();

class TPerfTimer {
 public:
  void Start();
  int64_t ReadNanoseconds() const;

 private:
  int64_t FStart = 0;
};
TPerfTimer& GlobalPerfTimer();
