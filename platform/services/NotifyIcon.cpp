#include "platform/services/NotifyIcon.h"

#include <cstddef>
#include <cstring>
#include <mutex>

#include "platform/Messages.h"

namespace hk {
namespace {

std::mutex& TrayLock() {
  static std::mutex lock;
  return lock;
}

std::vector<TrayIconRecord>& Icons() {
  static std::vector<TrayIconRecord> icons;
  return icons;
}

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

void Apply(TrayIconRecord& icon, const NOTIFYICONDATAA& data) {
  if (data.uFlags & NIF_MESSAGE) icon.CallbackMessage = data.uCallbackMessage;
  if (data.uFlags & NIF_ICON) icon.Icon = data.hIcon;
  if (data.uFlags & NIF_TIP) icon.Tip = ReadTip(data);
}

}  // namespace

void SetTrayObserver(TrayObserver* observer) {
  std::lock_guard<std::mutex> guard(TrayLock());
  Observer() = observer;
}

std::vector<TrayIconRecord> TrayIcons() {
  std::lock_guard<std::mutex> guard(TrayLock());
  return Icons();
}

bool FindTrayIcon(HWND window, UINT id, TrayIconRecord* found) {
  std::lock_guard<std::mutex> guard(TrayLock());
  for (const auto& icon : Icons()) {
    if (icon.Window == window && icon.Id == id) {
      if (found != nullptr) *found = icon;
      return true;
    }
  }
  return false;
}

bool NotifyTrayIconEvent(HWND window, UINT id, UINT event) {
  TrayIconRecord icon;
  if (!FindTrayIcon(window, id, &icon) || icon.CallbackMessage == 0) return false;
  return PostMessageA(window, icon.CallbackMessage, static_cast<WPARAM>(id), static_cast<LPARAM>(event)) != FALSE;
}

void ClearTrayIcons() {
  std::lock_guard<std::mutex> guard(TrayLock());
  Icons().clear();
}

}  // namespace hk

BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data) {
  using namespace hk;
  if (data == nullptr || data->cbSize < kTipOffset + kShortTip) return FALSE;
  TrayIconRecord changed;
  TrayChange change;
  TrayObserver* observer;
  {
    std::lock_guard<std::mutex> guard(TrayLock());
    auto& icons = Icons();
    auto it = icons.begin();
    while (it != icons.end() && !(it->Window == data->hWnd && it->Id == data->uID)) ++it;
    switch (message) {
      case NIM_ADD: {
        if (it != icons.end() || data->hWnd == nullptr) return FALSE;
        TrayIconRecord icon;
        icon.Window = data->hWnd;
        icon.Id = data->uID;
        Apply(icon, *data);
        icons.push_back(icon);
        changed = icon;
        change = TrayChange::Added;
        break;
      }
      case NIM_MODIFY:
        if (it == icons.end()) return FALSE;
        Apply(*it, *data);
        changed = *it;
        change = TrayChange::Modified;
        break;
      case NIM_DELETE:
        if (it == icons.end()) return FALSE;
        changed = *it;
        icons.erase(it);
        change = TrayChange::Deleted;
        break;
      case NIM_SETVERSION:
        if (it == icons.end() || data->cbSize < kVersionEnd) return FALSE;
        it->Version = data->uVersion;
        changed = *it;
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
