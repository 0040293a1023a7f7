#include "card/TrayIcon.h"

#include <algorithm>
#include <cstring>

#include "classlib/FormReader.h"
#include "classlib/Forms.h"
#include "classlib/ImgList.h"
#include "classlib/controls/Menus.h"
#include "classlib/controls/MessageDialogs.h"
#include "platform/Icons.h"
#include "platform/Input.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "unicode/WideUnicode.h"

TTrayIconHandler* TrayIconHandler = nullptr;
UINT WM_TASKBARCREATED = 0;

namespace {

// Our notification area always takes the newer messages, so the message is
// registered whenever the unit starts.
const bool kTaskbarMessage = (WM_TASKBARCREATED = RegisterWindowMessageA("TaskbarCreated"), true);

TShiftState ReadShiftState() {
  TShiftState s = 0;
  if (GetAsyncKeyState(VK_SHIFT) & 0x8000) s |= ssShift;
  if (GetAsyncKeyState(VK_MENU) & 0x8000) s |= ssAlt;
  if (GetAsyncKeyState(VK_CONTROL) & 0x8000) s |= ssCtrl;
  return s;
}

}  // namespace

// ---- TTrayIconHandler

LRESULT TTrayIconHandler::IconWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TRAYNOTIFY: {
      // The id is looked up, never taken for an address.
      TTrayIcon* icon = TrayIconHandler ? TrayIconHandler->Find(static_cast<UINT_PTR>(wParam)) : nullptr;
      if (icon) icon->HandleIconMessage(static_cast<UINT>(lParam));
      return 0;
    }
    // The shared window stays as long as an icon needs it and never vetoes
    // the end of a session.
    case WM_DESTROY:
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case WM_QUIT:
    case WM_ENDSESSION:
    case WM_NCDESTROY: return 1;
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

bool BringBackDialogOf(HWND owner) {
  // A box first: one of the program as a whole is nobody's while the form
  // is hidden (a disabled card).
  HWND dialog = hk::MessageBoxWindowShown();
  if (dialog == nullptr && owner != nullptr && IsWindow(owner)) dialog = GetLastActivePopup(owner);
  if (dialog == nullptr || dialog == owner) return false;
  // A window manager may have minimised it; it has no taskbar button.
  ShowWindow(dialog, IsIconic(dialog) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(dialog);
  return true;
}

void AcquireTrayIconHandler() { AcquireSharedHandler(TrayIconHandler); }

void ReleaseTrayIconHandler() { ReleaseSharedHandler(TrayIconHandler); }

// ---- TTrayIcon: life

TTrayIcon::TTrayIcon(TComponent* owner) : TComponent(owner), FAlive(std::make_shared<TTrayIcon*>(this)) {
  AcquireTrayIconHandler();
  FNotifyId = TrayIconHandler->Add(this);
  FIcon = std::make_unique<TIcon>();
  FIcon->OnChange = [this](TObject*) { UpdateTrayIcon(); };

  FNotifyData.cbSize = sizeof FNotifyData;
  FNotifyData.hWnd = TrayIconHandler->Handle();
  FNotifyData.uID = FNotifyId;
  FNotifyData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  FNotifyData.uCallbackMessage = WM_TRAYNOTIFY;

  FCyclingTimer = std::make_unique<TSimpleTimer>(1000, [this](TObject*) { CycleTimerTick(); });
  FDoubleClickTimer = std::make_unique<TSimpleTimer>(1000, [this](TObject*) { ClickTimerTick(); });
  FLeaveTimer = std::make_unique<TSimpleTimer>(20, [this](TObject*) { ExitTimerTick(); });

  try {
    SetDesignPreview(FDesignPreview);
    if (!Designing()) {
      FApp = Application;
      FApp->FreeNotification(this);
      FAppHook = FApp->HookMainWindow([this](TMessage& m) { return AppWindowHook(m); });
      // The hook sees nothing until the application's window exists.
      FApp->Handle();
      if (OwnerControl()) SubclassOwner();
    }
  } catch (...) {
    // No destructor runs for a half-made component: no hook may be left
    // pointing at it.
    ReleaseHooksAndHandler();
    throw;
  }
}

TTrayIcon::~TTrayIcon() {
  try {
    SetIconVisible(false);
    SetDesignPreview(false);
  } catch (...) {
    // Going on: the hooks below must come off whatever happened.
  }
  ReleaseHooksAndHandler();
}

void TTrayIcon::ReleaseHooksAndHandler() {
  FCyclingTimer.reset();
  FDoubleClickTimer.reset();
  FLeaveTimer.reset();
  FIcon.reset();
  if (FApp) {
    FApp->UnhookMainWindow(FAppHook);
    RemoveFreeNotification(FApp);
    FApp = nullptr;
  }
  RestoreOwnerProc();
  *FAlive = nullptr;
  if (TrayIconHandler) TrayIconHandler->Remove(FNotifyId);
  ReleaseTrayIconHandler();
}

TWinControl* TTrayIcon::OwnerControl() const {
  if (IsDestroying() || !Owner() || Owner()->IsDestroying()) return nullptr;
  return dynamic_cast<TWinControl*>(Owner());
}

void TTrayIcon::Loaded() {
  TComponent::Loaded();
  if (OwnerControl() && !Designing()) {
    bool showMainForm = true;
    if (OnStartup) OnStartup(this, showMainForm);
    if (!showMainForm) {
      if (FApp) FApp->ShowMainForm = false;
      HideAppMainForm();
    }
  }
  UpdateTrayIcon();
  SetIconVisible(FIconVisible);
  SetCycleIcons(FCycleIcons);
  SetWantEnterExitEvents(FWantEnterExitEvents);
  SetNotifyVersion(FNotifyVersion);
}

void TTrayIcon::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == FIconList) {
    FIconList = nullptr;
    SetIconList(nullptr);
  }
  if (component == FPopupMenu) FPopupMenu = nullptr;
  if (component == FApp) {
    FApp = nullptr;
    FAppHook = 0;
  }
}

// ---- Platform calls

bool TTrayIcon::PrepareIconData() {
  if (Designing() && !FPreviewing && !FDesignPreview) return false;
  HICON handle = nullptr;
  try {
    handle = FIcon ? FIcon->Handle() : nullptr;
  } catch (const EReadError&) {
    handle = nullptr;
  }
  FNotifyData.hIcon = handle;
  std::memset(FNotifyData.szTip, 0, sizeof FNotifyData.szTip);
  if (!FHint.empty() && FShowHint) {
    size_t n = Utf8PrefixLength(FHint, sizeof FNotifyData.szTip - 1);
    std::memcpy(FNotifyData.szTip, FHint.data(), n);
  }
  // The shared window may have been made again since.
  if (TrayIconHandler) FNotifyData.hWnd = TrayIconHandler->Handle();
  return true;
}

bool TTrayIcon::AddTrayIcon() {
  if (!FPreviewing) FIconVisible = true;
  if ((!Designing() || FPreviewing) && PrepareIconData()) {
    // Refused for an icon that is there already: it stays.
    if (Shell_NotifyIconA(NIM_ADD, &FNotifyData) == FALSE) return false;
    FInTray = true;
    return true;
  }
  return false;
}

bool TTrayIcon::DeleteTrayIcon() {
  if (!FPreviewing) FIconVisible = false;
  if ((!Designing() || FPreviewing) && PrepareIconData()) {
    FInTray = false;
    return Shell_NotifyIconA(NIM_DELETE, &FNotifyData) != FALSE;
  }
  return false;
}

bool TTrayIcon::UpdateTrayIcon() {
  if (!PrepareIconData()) return false;
  const bool there = Shell_NotifyIconA(NIM_MODIFY, &FNotifyData) != FALSE;
  if (!there) FInTray = false;
  return there;
}

bool TTrayIcon::InTray() const { return FInTray && NotificationAreaPresent(); }

void TTrayIcon::SetNotifyVersion(uint8_t value) {
  FNotifyVersion = value;
  if (value == 0) FNotifyData.uVersion = 0;
  if (value == 1) FNotifyData.uVersion = NOTIFYICON_VERSION;
  if (PrepareIconData()) Shell_NotifyIconA(NIM_SETVERSION, &FNotifyData);
}

// ---- Setters

void TTrayIcon::SetIconVisible(bool value) {
  if (value)
    AddTrayIcon();
  else
    DeleteTrayIcon();
}

void TTrayIcon::ChangeIconQuietly(const std::function<void(TIcon&)>& change) {
  auto notify = std::move(FIcon->OnChange);
  FIcon->OnChange = nullptr;
  change(*FIcon);
  FIcon->OnChange = std::move(notify);
}

void TTrayIcon::SetIcon(const TIcon* value) {
  ChangeIconQuietly([value](TIcon& icon) { icon.Assign(value); });
  UpdateTrayIcon();
}

void TTrayIcon::SetHint(const std::string& value) {
  FHint = value;
  UpdateTrayIcon();
}

void TTrayIcon::SetShowHint(bool value) {
  FShowHint = value;
  UpdateTrayIcon();
}

void TTrayIcon::SetIconList(TCustomImageList* value) {
  if (FIconList && FIconList != value) RemoveFreeNotification(FIconList);
  FIconList = value;
  if (value) value->FreeNotification(this);
  SetIconIndex(0);
}

void TTrayIcon::SetIconIndex(int value) {
  if (!FIconList) {
    FIconIndex = 0;
  } else {
    // Indexes below the first take the first, past the last the last.
    FIconIndex = std::max(value, 0);
    if (FIconIndex >= FIconList->Count()) FIconIndex = FIconList->Count() - 1;
    ChangeIconQuietly([this](TIcon& icon) { FIconList->GetIcon(FIconIndex, icon); });
  }
  UpdateTrayIcon();
}

void TTrayIcon::SetCycleIcons(bool value) {
  FCycleIcons = value;
  if (value) {
    SetIconIndex(0);
    FCyclingTimer->SetInterval(FCycleInterval);
    FCyclingTimer->SetEnabled(true);
  } else {
    FCyclingTimer->SetEnabled(false);
  }
}

void TTrayIcon::SetCycleInterval(uint32_t value) {
  FCycleInterval = value;
  SetCycleIcons(FCycleIcons);
}

void TTrayIcon::SetPopupMenu(TPopupMenu* value) {
  if (FPopupMenu && FPopupMenu != value) RemoveFreeNotification(FPopupMenu);
  FPopupMenu = value;
  if (value) value->FreeNotification(this);
}

void TTrayIcon::SetWantEnterExitEvents(bool value) {
  FWantEnterExitEvents = value;
  FLeaveTimer->SetEnabled(value);
}

void TTrayIcon::SetDesignPreview(bool value) {
  FDesignPreview = value;
  FPreviewing = true;
  if (Designing()) {
    if (FIcon && FIcon->Handle() == nullptr && AllowDesignIcon()) FIcon->SetHandle(LoadIconA(nullptr, IDI_WINLOGO));
    if (value)
      AddTrayIcon();
    else
      DeleteTrayIcon();
  }
  FPreviewing = false;
}

// ---- Events

void TTrayIcon::DoClick() {
  if (OnClick) OnClick(this);
}
void TTrayIcon::DoDblClick() {
  if (OnDblClick) OnDblClick(this);
}
void TTrayIcon::DoCycle(int nextIndex) {
  if (OnCycle) OnCycle(this, nextIndex);
}
void TTrayIcon::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}
void TTrayIcon::DoMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}
void TTrayIcon::DoMouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}
void TTrayIcon::DoMouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}
void TTrayIcon::DoMouseExit() {
  if (OnMouseExit) OnMouseExit(this);
}

// ---- Notifications from the icon

void TTrayIcon::HandleIconMessage(UINT event) {
  // An event handler may free the component: each step looks first.
  auto alive = FAlive;
  auto balloon = [&](const TNotifyEvent& e) {
    if (e) e(this);
  };
  switch (event) {
    case NIN_BALLOONSHOW: balloon(OnBalloonHintShow); return;
    case NIN_BALLOONHIDE: balloon(OnBalloonHintHide); return;
    case NIN_BALLOONTIMEOUT: balloon(OnBalloonHintTimeout); return;
    case NIN_BALLOONUSERCLICK: balloon(OnBalloonHintClick); return;
    default: break;
  }
  if (!Enabled) return;
  POINT p{};
  GetCursorPos(&p);
  const int x = p.x, y = p.y;
  const TShiftState shift = ReadShiftState();
  // The menu stays shut while a dialog of the owner is up: the click leads
  // to the dialog, which the user may have lost behind others or minimised.
  if ((event == WM_LBUTTONDOWN || event == WM_RBUTTONDOWN) && BringBackDialogOf(FOwnerWindow)) return;
  switch (event) {
    case WM_MOUSEMOVE:
      if (FWantEnterExitEvents && FMouseOutside) {
        DoMouseEnter();
        if (!*alive) return;
        FMouseOutside = false;
      }
      DoMouseMove(shift, x, y);
      if (!*alive) return;
      FCursorX = x;
      FCursorY = y;
      break;
    case WM_LBUTTONDOWN:
      if (OnDblClick) {
        FDoubleClickTimer->SetInterval(GetDoubleClickTime());
        FDoubleClickTimer->SetEnabled(true);
      }
      DoMouseDown(mbLeft, shift | ssLeft, x, y);
      if (!*alive) return;
      FLeftPressed = true;
      if (LeftPopup) ShowMenuAtCursor();
      break;
    case WM_LBUTTONUP:
      if (FLeftPressed) {
        FClickPending = true;
        if (!FDoubleClickTimer->Enabled()) {
          FLeftPressed = false;
          FClickPending = false;
          DoClick();
          if (!*alive) return;
        }
      }
      FLeftPressed = false;
      DoMouseUp(mbLeft, shift | ssLeft, x, y);
      break;
    case WM_LBUTTONDBLCLK:
      FClickPending = false;
      FGotDoubleClick = true;
      DoDblClick();
      if (!*alive) return;
      ClickDefaultItem();
      break;
    case WM_RBUTTONDOWN:
      DoMouseDown(mbRight, shift | ssRight, x, y);
      if (!*alive) return;
      ShowMenuAtCursor();
      break;
    case WM_RBUTTONUP:
      if (FNotifyVersion == 0) DoMouseUp(mbRight, shift | ssRight, x, y);
      break;
    case WM_CONTEXTMENU:
    case NIN_SELECT:
    case NIN_KEYSELECT:
      if (FNotifyVersion == 1) DoMouseUp(mbRight, shift | ssRight, x, y);
      break;
    case WM_MBUTTONDOWN: DoMouseDown(mbMiddle, shift | ssMiddle, x, y); break;
    case WM_MBUTTONUP: DoMouseUp(mbMiddle, shift | ssMiddle, x, y); break;
    default: break;
  }
}

void TTrayIcon::ClickDefaultItem() {
  if (!FPopupMenu || !FPopupMenu->AutoPopup || LeftPopup) return;
  TMenuItem* items = FPopupMenu->Items();
  for (int i = 0; i < items->Count(); ++i) {
    TMenuItem* item = items->Items(i);
    if (item->Default()) {
      item->Click();
      return;
    }
  }
}

void TTrayIcon::ShowMenuAtCursor() {
  if (!FPopupMenu || !FPopupMenu->AutoPopup) return;
  // A press that arrives while a menu is open, or while the messages
  // before it run, does not open a second one.
  if (TPopupMenu::Tracking() || FShowingMenu) return;
  POINT p{};
  if (!GetCursorPos(&p)) return;
  FShowingMenu = true;
  // Cleared on every way out, a failed command's exception too; the chosen
  // item may have freed us.
  struct TMenuDone {
    std::shared_ptr<TTrayIcon*> Alive;
    ~TMenuDone() {
      if (*Alive) (*Alive)->FShowingMenu = false;
    }
  } done{FAlive};
  if (FApp) {
    SetForegroundWindow(FApp->Handle());
    FApp->ProcessMessages();
  }
  if (!*done.Alive) return;
  if (FPopupMenu) {
    FPopupMenu->PopupComponent = this;
    FPopupMenu->Popup(p.x, p.y);
  }
  if (!*done.Alive) return;
  // So the menu closes properly when the user clicks elsewhere.
  if (FOwnerWindow && IsWindow(FOwnerWindow)) PostMessageA(FOwnerWindow, WM_NULL, 0, 0);
}

// ---- Timers

void TTrayIcon::ClickTimerTick() {
  FDoubleClickTimer->SetEnabled(false);
  if (!FGotDoubleClick && FClickPending) {
    FClickPending = false;
    auto alive = FAlive;
    DoClick();
    if (!*alive) return;
  }
  FGotDoubleClick = false;
}

void TTrayIcon::ExitTimerTick() {
  if (FMouseOutside) return;
  POINT p{};
  if (!GetCursorPos(&p)) return;
  if (p.x != FCursorX || p.y != FCursorY) {
    FMouseOutside = true;
    DoMouseExit();
  }
}

void TTrayIcon::CycleTimerTick() {
  if (!FIconList || !FCycleIcons) return;
  // The icon's change tells the tray at once: its old handle is gone.
  FIconList->GetIcon(FIconIndex, *FIcon);
  int next = FIconIndex < FIconList->Count() - 1 ? FIconIndex + 1 : 0;
  auto alive = FAlive;
  DoCycle(next);
  if (!*alive || !FIconList) return;
  SetIconIndex(next);
}

// ---- The application window and the owner window

bool TTrayIcon::AppWindowHook(TMessage& message) {
  auto alive = FAlive;
  switch (message.Msg) {
    case WM_SIZE:
      if (message.WParam == SIZE_MINIMIZED && MinimizeToTray) MinimizeToTrayNow();
      break;
    case WM_WINDOWPOSCHANGED:
      if (FAwaitMainForm && FApp && FApp->MainForm()) {
        if (FApp->MainForm()->FormStyle() == fsMDIForm) {
          bool showMainForm = true;
          if (OnStartup) OnStartup(this, showMainForm);
          if (!*alive) return false;
          if (!showMainForm) HideApplicationWindow();
        }
        FAwaitMainForm = false;
      }
      break;
    case WM_SYSCOMMAND:
      if ((message.WParam & 0xFFF0) == SC_RESTORE && FApp && FApp->MainForm()) FApp->MainForm()->SetVisible(true);
      break;
    default: break;
  }
  if (!*alive) return false;
  // The notification area restarted: a visible icon is put back.
  if (WM_TASKBARCREATED != 0 && message.Msg == WM_TASKBARCREATED && FIconVisible) AddTrayIcon();
  return false;
}

void TTrayIcon::SubclassOwner() {
  TWinControl* owner = OwnerControl();
  if (!owner) return;
  FOwnerWindow = owner->Handle();
  if (!FOwnerWindow) return;
  FOwnerPrevProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(FOwnerWindow, GWL_WNDPROC));
  // Should the hook outlive us (another hook went on top of ours), it only
  // hands messages on.
  std::shared_ptr<TTrayIcon*> target = FAlive;
  WNDPROC prev = FOwnerPrevProc;
  FOwnerHookProc = MakeObjectWindowProc([target, prev](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
    if (*target) return (*target)->OwnerWindowProc(h, msg, w, l);
    return CallWindowProcA(prev, h, msg, w, l);
  });
  SetWindowLongPtrA(FOwnerWindow, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(FOwnerHookProc));
}

void TTrayIcon::RestoreOwnerProc() {
  if (!FOwnerHookProc) return;
  bool ours = FOwnerWindow && IsWindow(FOwnerWindow) &&
              reinterpret_cast<WNDPROC>(GetWindowLongPtrA(FOwnerWindow, GWL_WNDPROC)) == FOwnerHookProc;
  if (ours) SetWindowLongPtrA(FOwnerWindow, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(FOwnerPrevProc));
  // Under another hook ours must stay callable; it passes messages on.
  if (ours || !FOwnerWindow || !IsWindow(FOwnerWindow)) FreeObjectWindowProc(FOwnerHookProc);
  FOwnerHookProc = nullptr;
  FOwnerPrevProc = nullptr;
  FOwnerWindow = nullptr;
}

LRESULT TTrayIcon::OwnerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC prev = FOwnerPrevProc;
  if (msg == WM_SHOWWINDOW && wParam == 1 && lParam == 0) {
    if ((GetWindowLongPtrA(hwnd, GWL_EXSTYLE) & WS_EX_NOACTIVATE) != 0) {
      // Raised, but the keyboard stays where it is.
      SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    } else {
      if (FApp) SetForegroundWindow(FApp->Handle());
      SetForegroundWindow(hwnd);
    }
    return CallWindowProcA(prev, hwnd, msg, wParam, lParam);
  }
  bool closing = msg == WM_SHOWWINDOW && wParam == 0 && lParam == SW_PARENTCLOSING && !(FApp && FApp->Terminated());
  bool minimising = msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MINIMIZE;
  if ((closing || minimising) && MinimizeToTray && OnMinimizeToTray) {
    auto alive = FAlive;
    OnMinimizeToTray(this);
    if (*alive) MinimizeToTrayNow();
    return 1;
  }
  return CallWindowProcA(prev, hwnd, msg, wParam, lParam);
}

void TTrayIcon::MinimizeToTrayNow() {
  HideAppMainForm();
  SetIconVisible(true);
}

void TTrayIcon::HideAppMainForm() {
  if (!OwnerControl() || !FApp || !FApp->MainForm()) return;
  FApp->MainForm()->SetVisible(false);
  HideApplicationWindow();
}

void TTrayIcon::HideApplicationWindow() {
  if (!FApp) return;
  HWND app = FApp->Handle();
  if (IsWindowVisible(app)) ShowWindow(app, SW_HIDE);
}
