// The clipboard's formats and data, shared by every thread of the process.
#include "platform/ClipboardData.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/GlobalMemory.h"
#include "platform/Window.h"
#include "platform/gdi/Gdi.h"

namespace {
constexpr size_t MaxFormatName = 255;

struct TFormatNames {
  std::mutex Lock;
  std::vector<std::string> Names;  // Names[i] has id CF_REGISTERED_FIRST + i
};

TFormatNames& FormatNames() {
  static auto* names = new TFormatNames;
  return *names;
}

bool SameName(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

bool IsRegistered(UINT format) {
  if (format < CF_REGISTERED_FIRST) return true;
  auto& f = FormatNames();
  std::lock_guard<std::mutex> guard(f.Lock);
  return format - CF_REGISTERED_FIRST < f.Names.size();
}

bool IsGdiFormat(UINT format) { return format == CF_BITMAP || format == CF_PALETTE; }

struct TClipboardEntry {
  UINT Format;
  HANDLE Data;
};

struct TClipboardState {
  std::mutex Lock;
  bool Open = false;
  std::thread::id Opener;
  HWND OpenWindow = nullptr;
  HWND Owner = nullptr;
  std::vector<TClipboardEntry> Entries;
};

TClipboardState& State() {
  static auto* state = new TClipboardState;
  return *state;
}

bool OpenByThisThread(const TClipboardState& s) { return s.Open && s.Opener == std::this_thread::get_id(); }

void FreeData(UINT format, HANDLE data) {
  if (IsGdiFormat(format))
    DeleteObject(static_cast<HGDIOBJ>(data));
  else
    global_memory::FreeOwned(static_cast<HGLOBAL>(data));
}
}  // namespace

UINT RegisterClipboardFormatA(LPCSTR name) {
  if (!name || !*name || std::strlen(name) > MaxFormatName) return 0;
  auto& f = FormatNames();
  std::lock_guard<std::mutex> guard(f.Lock);
  for (size_t i = 0; i < f.Names.size(); ++i)
    if (SameName(f.Names[i], name)) return CF_REGISTERED_FIRST + static_cast<UINT>(i);
  if (f.Names.size() > 0xFFFF - CF_REGISTERED_FIRST) return 0;
  f.Names.emplace_back(name);
  return CF_REGISTERED_FIRST + static_cast<UINT>(f.Names.size() - 1);
}

int GetClipboardFormatNameA(UINT format, LPSTR name, int maxCount) {
  if (format < CF_REGISTERED_FIRST || !name || maxCount <= 0) return 0;
  auto& f = FormatNames();
  std::lock_guard<std::mutex> guard(f.Lock);
  if (format - CF_REGISTERED_FIRST >= f.Names.size()) return 0;
  const std::string& n = f.Names[format - CF_REGISTERED_FIRST];
  size_t count = std::min(n.size(), static_cast<size_t>(maxCount - 1));
  std::memcpy(name, n.data(), count);
  name[count] = '\0';
  return static_cast<int>(count);
}

BOOL OpenClipboard(HWND owner) {
  if (owner && !IsWindow(owner)) return FALSE;
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  if (s.Open) return OpenByThisThread(s) && s.OpenWindow == owner ? TRUE : FALSE;
  s.Open = true;
  s.Opener = std::this_thread::get_id();
  s.OpenWindow = owner;
  return TRUE;
}

BOOL CloseClipboard() {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  if (!OpenByThisThread(s)) return FALSE;
  s.Open = false;
  s.OpenWindow = nullptr;
  return TRUE;
}

BOOL EmptyClipboard() {
  auto& s = State();
  std::vector<TClipboardEntry> old;
  {
    std::lock_guard<std::mutex> guard(s.Lock);
    if (!OpenByThisThread(s)) return FALSE;
    old.swap(s.Entries);
    s.Owner = s.OpenWindow;
  }
  for (auto& e : old) FreeData(e.Format, e.Data);
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
  // No delayed rendering: the data is there when placed.
  if (format == 0 || !data || !IsRegistered(format)) return nullptr;
  if (IsGdiFormat(format)) {
    DWORD want = format == CF_BITMAP ? OBJ_BITMAP : OBJ_PAL;
    if (GetObjectType(static_cast<HGDIOBJ>(data)) != want) return nullptr;
  } else if (!global_memory::IsBlock(static_cast<HGLOBAL>(data))) {
    return nullptr;
  }
  auto& s = State();
  HANDLE replaced = nullptr;
  {
    std::lock_guard<std::mutex> guard(s.Lock);
    if (!OpenByThisThread(s)) return nullptr;
    // One piece of data may not stand for two formats: freeing one would
    // leave the other stale.
    for (auto& e : s.Entries)
      if (e.Data == data && e.Format != format) return nullptr;
    if (!IsGdiFormat(format) && !global_memory::SetClipboardOwned(static_cast<HGLOBAL>(data), true)) return nullptr;
    auto it = std::find_if(s.Entries.begin(), s.Entries.end(), [&](const TClipboardEntry& e) { return e.Format == format; });
    if (it == s.Entries.end()) {
      s.Entries.push_back({format, data});
    } else {
      if (it->Data != data) replaced = it->Data;
      it->Data = data;
    }
  }
  if (replaced) FreeData(format, replaced);
  return data;
}

HANDLE GetClipboardData(UINT format) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  if (!OpenByThisThread(s)) return nullptr;
  for (auto& e : s.Entries)
    if (e.Format == format) return e.Data;
  return nullptr;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  for (auto& e : s.Entries)
    if (e.Format == format) return TRUE;
  return FALSE;
}

int CountClipboardFormats() {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  return static_cast<int>(s.Entries.size());
}

UINT EnumClipboardFormats(UINT format) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  if (!OpenByThisThread(s)) return 0;
  size_t next = 0;
  if (format != 0) {
    auto it = std::find_if(s.Entries.begin(), s.Entries.end(), [&](const TClipboardEntry& e) { return e.Format == format; });
    if (it == s.Entries.end()) return 0;
    next = static_cast<size_t>(it - s.Entries.begin()) + 1;
  }
  return next < s.Entries.size() ? s.Entries[next].Format : 0;
}

HWND GetClipboardOwner() {
  auto& s = State();
  HWND owner;
  {
    std::lock_guard<std::mutex> guard(s.Lock);
    owner = s.Owner;
  }
  return owner && IsWindow(owner) ? owner : nullptr;
}
