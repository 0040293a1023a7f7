#include "platform/services/NotifyIcon.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/Driver.h"
#include "platform/Icons.h"
#include "platform/Messages.h"

namespace hk {
namespace {

std::mutex& TrayLock() {
  static std::mutex lock;
  return lock;
}

struct TIconEntry {
  uint64_t Order = 0;  // icons are listed in the order they were added
  TrayIconRecord Record;
};
using TIconKey = std::pair<HWND, UINT_PTR>;

std::map<TIconKey, TIconEntry>& Icons() {
  static std::map<TIconKey, TIconEntry> icons;
  return icons;
}
uint64_t gNextOrder = 0;

std::atomic<bool> gAreaPresent{true};

TrayObserver*& Observer() {
  static TrayObserver* observer = nullptr;
  return observer;
}

constexpr size_t kTipOffset = offsetof(NOTIFYICONDATAA, szTip);
constexpr size_t kShortTip = 64;  // the oldest layout's tip
constexpr size_t kLongTipEnd = offsetof(NOTIFYICONDATAA, dwState);
constexpr size_t kVersionEnd = offsetof(NOTIFYICONDATAA, uVersion) + sizeof(UINT);

std::string ReadTip(const NOTIFYICONDATAA& data) {
  size_t room = data.cbSize >= kLongTipEnd ? sizeof(data.szTip) : kShortTip;
  // Room for the terminating zero: at most room - 1 characters are shown.
  size_t length = strnlen(data.szTip, room - 1);
  return std::string(data.szTip, length);
}

// The area keeps a copy of the caller's icon, so the caller may free its
// own at once; `copy` is that copy, and the one it replaces goes to `old`.
void Apply(TrayIconRecord& icon, const NOTIFYICONDATAA& data, HICON copy, HICON* old) {
  if (data.uFlags & NIF_MESSAGE) icon.CallbackMessage = data.uCallbackMessage;
  if (data.uFlags & NIF_ICON) {
    *old = icon.Icon;
    icon.Icon = copy;
  }
  if (data.uFlags & NIF_TIP) icon.Tip = ReadTip(data);
}

void DestroyCopies(const std::vector<TrayIconRecord>& icons) {
  for (const auto& icon : icons)
    if (icon.Icon) DestroyIcon(icon.Icon);
}

}  // namespace

void SetTrayObserver(TrayObserver* observer) {
  std::lock_guard<std::mutex> guard(TrayLock());
  Observer() = observer;
}

namespace {
std::vector<TrayIconRecord> IconsInOrder() {
  std::vector<const TIconEntry*> entries;
  for (const auto& [key, entry] : Icons()) entries.push_back(&entry);
  std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) { return a->Order < b->Order; });
  std::vector<TrayIconRecord> out;
  for (auto* e : entries) out.push_back(e->Record);
  return out;
}
}  // namespace

std::vector<TrayIconRecord> TrayIcons() {
  std::lock_guard<std::mutex> guard(TrayLock());
  return IconsInOrder();
}

bool FindTrayIcon(HWND window, UINT_PTR id, TrayIconRecord* found) {
  std::lock_guard<std::mutex> guard(TrayLock());
  auto it = Icons().find({window, id});
  if (it == Icons().end()) return false;
  if (found != nullptr) *found = it->second.Record;
  return true;
}

bool NotifyTrayIconEvent(HWND window, UINT_PTR id, UINT event) {
  TrayIconRecord icon;
  if (!FindTrayIcon(window, id, &icon) || icon.CallbackMessage == 0) return false;
  return PostMessageA(window, icon.CallbackMessage, static_cast<WPARAM>(id), static_cast<LPARAM>(event)) != FALSE;
}

void ClearTrayIcons() {
  std::vector<TrayIconRecord> gone;
  {
    std::lock_guard<std::mutex> guard(TrayLock());
    gone = IconsInOrder();
    Icons().clear();
  }
  DestroyCopies(gone);
}

void SetNotificationAreaPresent(bool present, bool announce) {
  bool was = gAreaPresent.exchange(present);
  if (present) {
    if (!was && announce) PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    return;
  }
  std::vector<TrayIconRecord> gone;
  TrayObserver* observer;
  {
    std::lock_guard<std::mutex> guard(TrayLock());
    gone = IconsInOrder();
    Icons().clear();
    observer = Observer();
  }
  if (observer != nullptr)
    for (const auto& icon : gone) observer->TrayIconChanged(icon, TrayChange::Deleted);
  DestroyCopies(gone);
}

}  // namespace hk

BOOL NotificationAreaPresent() {
  Driver();  // the driver, once made, says whether there is one
  return hk::gAreaPresent.load() ? TRUE : FALSE;
}

BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data) {
  using namespace hk;
  if (data == nullptr || data->cbSize < kTipOffset + kShortTip) return FALSE;
  if (message == NIM_ADD && !NotificationAreaPresent()) return FALSE;
  const bool copies = (message == NIM_ADD || message == NIM_MODIFY) && (data->uFlags & NIF_ICON) && data->hIcon;
  HICON copy = copies ? CopyIcon(data->hIcon) : nullptr;
  HICON old = nullptr;
  // Whatever the call does not keep is freed on the way out.
  struct TFree {
    HICON* Icon;
    ~TFree() {
      if (*Icon) DestroyIcon(*Icon);
    }
  } freeCopy{&copy}, freeOld{&old};
  TrayIconRecord changed;
  TrayChange change;
  TrayObserver* observer;
  {
    std::lock_guard<std::mutex> guard(TrayLock());
    auto& icons = Icons();
    auto it = icons.find({data->hWnd, data->uID});
    switch (message) {
      case NIM_ADD: {
        if (it != icons.end() || data->hWnd == nullptr) return FALSE;
        TIconEntry entry;
        entry.Order = gNextOrder++;
        entry.Record.Window = data->hWnd;
        entry.Record.Id = data->uID;
        Apply(entry.Record, *data, copy, &old);
        copy = nullptr;
        changed = entry.Record;
        icons.emplace(TIconKey{data->hWnd, data->uID}, entry);
        change = TrayChange::Added;
        break;
      }
      case NIM_MODIFY:
        if (it == icons.end()) return FALSE;
        Apply(it->second.Record, *data, copy, &old);
        copy = nullptr;
        changed = it->second.Record;
        change = TrayChange::Modified;
        break;
      case NIM_DELETE:
        if (it == icons.end()) return FALSE;
        changed = it->second.Record;
        old = changed.Icon;
        icons.erase(it);
        change = TrayChange::Deleted;
        break;
      case NIM_SETVERSION:
        if (it == icons.end() || data->cbSize < kVersionEnd) return FALSE;
        it->second.Record.Version = data->uVersion;
        changed = it->second.Record;
        change = TrayChange::Modified;
        break;
      case NIM_SETFOCUS:
        return it != icons.end() ? TRUE : FALSE;
      default:
        return FALSE;
    }
    observer = Observer();
  }
  if (observer != nullptr) observer->TrayIconChanged(changed, change);
  return TRUE;
}
