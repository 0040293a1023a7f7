// Icons in the desktop's notification area. Every icon is recorded here, by
// (window, id), so headless runs and tests can read what the program shows;
// the display driver watches the record through a TrayObserver and docks
// what it holds. As on a desktop whose taskbar is restarting, icons exist
// only while a notification area does: without one NIM_ADD fails, when it
// goes its icons go with it, and when one appears "TaskbarCreated" is
// broadcast so that programs add theirs again.
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

constexpr DWORD NIM_ADD = 0;
constexpr DWORD NIM_MODIFY = 1;
constexpr DWORD NIM_DELETE = 2;
constexpr DWORD NIM_SETFOCUS = 3;
constexpr DWORD NIM_SETVERSION = 4;

constexpr UINT NIF_MESSAGE = 0x01;
constexpr UINT NIF_ICON = 0x02;
constexpr UINT NIF_TIP = 0x04;
constexpr UINT NIF_STATE = 0x08;
constexpr UINT NIF_INFO = 0x10;

constexpr UINT NOTIFYICON_VERSION = 3;

constexpr UINT NIN_SELECT = 0x400;
constexpr UINT NIN_KEYSELECT = 0x401;
constexpr UINT NIN_BALLOONSHOW = 0x402;
constexpr UINT NIN_BALLOONHIDE = 0x403;
constexpr UINT NIN_BALLOONTIMEOUT = 0x404;
constexpr UINT NIN_BALLOONUSERCLICK = 0x405;

struct NOTIFYICONDATAA {
  DWORD cbSize;
  HWND hWnd;
  UINT_PTR uID;  // pointer-sized: a component may use its own address
  UINT uFlags;
  UINT uCallbackMessage;
  HICON hIcon;
  CHAR szTip[128];
  DWORD dwState;
  DWORD dwStateMask;
  CHAR szInfo[256];
  union {
    UINT uTimeout;
    UINT uVersion;
  };
  CHAR szInfoTitle[64];
  DWORD dwInfoFlags;
};

// The notification area keeps its own copy of the icon (NIM_ADD, NIM_MODIFY
// with NIF_ICON): the caller may free its handle after the call.
// NIM_ADD fails for an icon (window, id) already there, and while no
// notification area exists (nothing is kept); the other operations fail for
// an icon that is not there. A record shorter than the tip of the oldest
// layout (64 characters), a null record or an unknown operation fail. Tips
// are read up to the record's tip size even when not zero-terminated.
BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data);

// Whether the desktop has a notification area now (X11: a system tray
// manager owns its selection; headless: unless a test took it away).
BOOL NotificationAreaPresent();

namespace hk {

struct TrayIconRecord {
  HWND Window = nullptr;
  UINT_PTR Id = 0;
  UINT CallbackMessage = 0;  // 0: the window gets no mouse notifications
  HICON Icon = nullptr;
  std::string Tip;
  UINT Version = 0;  // 0 classic notifications, 3 the newer ones
};

enum class TrayChange { Added, Modified, Deleted };

// The driver's side of the tray. Called on the thread that made the change,
// after the record is updated and outside its lock.
class TrayObserver {
 public:
  virtual ~TrayObserver() = default;
  virtual void TrayIconChanged(const TrayIconRecord& icon, TrayChange change) = 0;
};

// One observer at a time; nullptr detaches. A new observer should take the
// current icons from TrayIcons() (a tray that arrives late shows them).
void SetTrayObserver(TrayObserver* observer);

// Every recorded icon, in the order they were added.
std::vector<TrayIconRecord> TrayIcons();
// Whether (window, id) names an icon now: a window that gets a callback
// message may check that its id is still one of its icons.
bool FindTrayIcon(HWND window, UINT_PTR id, TrayIconRecord* found);
// What the tray does when the user handles an icon: posts the icon's
// callback message to its window, wParam the icon's id and lParam the mouse
// or notification message (WM_RBUTTONDOWN, NIN_SELECT, ...). False for an
// icon that is not there or has no callback message.
bool NotifyTrayIconEvent(HWND window, UINT_PTR id, UINT event);
// Forgets every icon (tests start clean).
void ClearTrayIcons();
// The driver's word on the notification area. Going away forgets every icon
// (the observer hears each deleted); appearing broadcasts "TaskbarCreated"
// unless `announce` is false (a driver starting with a tray already there).
void SetNotificationAreaPresent(bool present, bool announce = true);

}  // namespace hk
