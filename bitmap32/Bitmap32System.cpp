#include "bitmap32/Bitmap32System.h"

#include <cpuid.h>

#include <chrono>

#include "platform/Modules.h"
#include "platform/Window.h"

bool NativeCPUID(uint32_t leaf, TCPUIDRegs& r) {
  unsigned a, b, c, d;
  // __get_cpuid checks the highest leaf of the leaf's range itself.
  if (!__get_cpuid(leaf, &a, &b, &c, &d)) return false;
  r = {a, b, c, d};
  return true;
}

TCPUIDFunc CPUIDQuery = NativeCPUID;

namespace {
constexpr uint32_t kFeatureMasks[] = {0x00800000, 0x00400000, 0x02000000, 0x04000000, 0x80000000, 0x40000000};

bool ExtendedEdx(uint32_t& edx) {
  TCPUIDRegs r{};
  if (!CPUIDQuery(0x80000000u, r) || r.eax <= 0x80000000u) return false;
  if (!CPUIDQuery(0x80000001u, r)) return false;
  edx = r.edx;
  return true;
}
}  // namespace

bool CPUHasFeature(TCPUFeature feature) {
  // On x86-64 CPUID always exists; the query answers false when a leaf is missing.
  TCPUIDRegs r1{};
  if (!CPUIDQuery(1, r1)) return false;
  if (((r1.eax >> 8) & 0xF) < 5) return false;
  uint32_t mask = kFeatureMasks[feature];
  uint32_t edx = 0;
  switch (feature) {
    case cfExtMMX:
      if (r1.edx & kFeatureMasks[cfSSE]) return true;
      return ExtendedEdx(edx) && (edx & mask) != 0;
    case cf3DNow:
    case cf3DNowExt:
      return ExtendedEdx(edx) && (edx & mask) != 0;
    default:
      return (r1.edx & mask) != 0;
  }
}

bool CPUHasAVX2() {
  TCPUIDRegs r1{}, r7{};
  if (!CPUIDQuery(1, r1) || !(r1.ecx & (1u << 27))) return false;  // OSXSAVE
  if (CPUIDQuery != NativeCPUID) return false;  // a played processor has no wide registers
  unsigned lo, hi;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  if ((lo & 6) != 6) return false;  // XMM and YMM state enabled
  unsigned a, b, c, d;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  (void)r7;
  return (b & (1u << 5)) != 0;
}

bool CPUHasAVX512VBMI() {
  if (!CPUHasAVX2()) return false;
  unsigned lo, hi;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  if ((lo & 0xE6) != 0xE6) return false;  // mask and all 512-bit register state enabled too
  unsigned a, b, c, d;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return (b & (1u << 16)) != 0 && (b & (1u << 30)) != 0 && (c & (1u << 1)) != 0;  // AVX-512 F, BW and VBMI
}

// ---- Themes

TThemeLibraryHooks ThemeLibraryHooks = {LoadLibraryA, GetProcAddress, FreeLibrary};
TThemeEntryPoints ThemeAPI = {};
bool UseThemes = false;
HTHEME ScrollbarTheme = nullptr;
HTHEME GlobalsTheme = nullptr;

namespace {
HMODULE ThemeLibrary = nullptr;

template <typename F>
void Bind(F& slot, const char* name) {
  slot = reinterpret_cast<F>(ThemeLibraryHooks.GetProc(ThemeLibrary, name));
}
}  // namespace

bool ThemeLibraryLoaded() { return ThemeLibrary != nullptr; }

bool LoadThemeLibrary() {
  if (ThemeLibrary) return true;
  ThemeLibrary = ThemeLibraryHooks.Load("uxtheme.dll");
  if (!ThemeLibrary) return false;
  Bind(ThemeAPI.OpenThemeData, "OpenThemeData");
  Bind(ThemeAPI.CloseThemeData, "CloseThemeData");
  Bind(ThemeAPI.DrawThemeBackground, "DrawThemeBackground");
  Bind(ThemeAPI.DrawThemeEdge, "DrawThemeEdge");
  Bind(ThemeAPI.GetThemeColor, "GetThemeColor");
  Bind(ThemeAPI.GetThemeMetric, "GetThemeMetric");
  Bind(ThemeAPI.GetThemeMargins, "GetThemeMargins");
  Bind(ThemeAPI.SetWindowTheme, "SetWindowTheme");
  Bind(ThemeAPI.IsThemeActive, "IsThemeActive");
  Bind(ThemeAPI.IsAppThemed, "IsAppThemed");
  Bind(ThemeAPI.EnableTheming, "EnableTheming");
  if (!ThemeAPI.OpenThemeData || !ThemeAPI.CloseThemeData || !ThemeAPI.IsThemeActive || !ThemeAPI.IsAppThemed ||
      !ThemeAPI.EnableTheming)
    FreeThemeLibrary();
  return ThemeLibrary != nullptr;
}

void FreeThemeLibrary() {
  if (!ThemeLibrary) return;
  ThemeLibraryHooks.Free(ThemeLibrary);
  ThemeLibrary = nullptr;
  ThemeAPI = {};
}

bool CanUseThemes() { return ThemeLibrary && ThemeAPI.IsAppThemed() && ThemeAPI.IsThemeActive(); }

namespace {
LRESULT NexusWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (auto* nexus = reinterpret_cast<TThemeNexus*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)))
    nexus->WindowProc(msg, wParam, lParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}
}  // namespace

TThemeNexus::TThemeNexus() {
  FWindowHandle = CreateHelperWindow(NexusWindowProc);
  if (FWindowHandle) SetWindowLongPtrA(FWindowHandle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  OpenThemes();
}

TThemeNexus::~TThemeNexus() {
  CloseThemes();
  if (FWindowHandle) {
    SetWindowLongPtrA(FWindowHandle, GWLP_USERDATA, 0);
    DestroyWindow(FWindowHandle);
  }
}

void TThemeNexus::OpenThemes() {
  UseThemes = false;
  if (!LoadThemeLibrary()) return;
  UseThemes = CanUseThemes();
  if (UseThemes) {
    ScrollbarTheme = ThemeAPI.OpenThemeData(FWindowHandle, u"SCROLLBAR");
    GlobalsTheme = ThemeAPI.OpenThemeData(FWindowHandle, u"GLOBALS");
  }
}

void TThemeNexus::CloseThemes() {
  if (CanUseThemes()) {
    if (ScrollbarTheme) ThemeAPI.CloseThemeData(ScrollbarTheme);
    if (GlobalsTheme) ThemeAPI.CloseThemeData(GlobalsTheme);
  }
  ScrollbarTheme = nullptr;
  GlobalsTheme = nullptr;
  FreeThemeLibrary();
}

LRESULT TThemeNexus::WindowProc(UINT msg, WPARAM, LPARAM) {
  if (msg == WM_THEMECHANGED) {
    CloseThemes();
    OpenThemes();
  }
  return 0;
}

TThemeNexus& ThemeNexus() {
  static TThemeNexus nexus;
  return nexus;
}

void TPerfTimer::Start() {
  FStart = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int64_t TPerfTimer::ReadNanoseconds() const {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
             .count() -
         FStart;
}

TPerfTimer& GlobalPerfTimer() {
  static TPerfTimer timer;
  return timer;
}
