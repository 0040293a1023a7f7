// TTrayIcon: a non-visual component that keeps an icon in the desktop's
// notification area and turns what happens to it into events. It shows a
// popup menu at the cursor, can cycle through the icons of an image list,
// hides its owner form to the tray when that is minimised, and puts its icon
// back when the notification area restarts. All icons of a program share one
// hidden window, kept by a reference-counted TTrayIconHandler; each icon's id
// names it to that window, which finds the component through its table of
// live icons, so a notification for an icon that is gone does nothing.
//
// The icon stands for its owner form: while a dialog or box of the form is
// up, a click on the icon brings that window back instead of the menu.
//
// The owner form's window is hooked: shown by a show call, it is brought to
// the foreground (the application first, then the form). A form that must
// not take the keyboard when it appears sets WS_EX_NOACTIVATE; it is then
// raised to the top without being activated.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "card/SharedWindow.h"
#include "card/SimpleTimer.h"
#include "classlib/Controls.h"
#include "classlib/Graphics.h"
#include "platform/services/NotifyIcon.h"

class TCustomImageList;
class TApplication;
class TPopupMenu;
class TTrayIcon;

using TCycleEvent = std::function<void(TObject* sender, int nextIndex)>;
using TStartupEvent = std::function<void(TObject* sender, bool& showMainForm)>;

// The callback message of every tray icon.
constexpr UINT WM_TRAYNOTIFY = 0x800;

class TTrayIconHandler : public TSharedObjectWindow<TTrayIcon> {
 public:
  TTrayIconHandler() : TSharedObjectWindow(&IconWindowProc) {}

 private:
  static LRESULT IconWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// The shared handler, or nullptr while no tray icon exists.
extern TTrayIconHandler* TrayIconHandler;
// The registered "TaskbarCreated" message (0 when not registered).
extern UINT WM_TASKBARCREATED;
void AcquireTrayIconHandler();
void ReleaseTrayIconHandler();

class TTrayIcon : public TComponent {
 public:
  explicit TTrayIcon(TComponent* owner);
  ~TTrayIcon() override;

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  virtual bool AllowDesignIcon() { return true; }
  // Each returns whether the platform call succeeded.
  virtual bool AddTrayIcon();
  virtual bool DeleteTrayIcon();
  virtual bool UpdateTrayIcon();
  // 0 classic notifications, 1 the newer (version 3) ones.
  void SetNotifyVersion(uint8_t value);
  uint8_t NotifyVersion() const { return FNotifyVersion; }
  // Whether the notification area holds the icon now, as the platform's
  // answers to the calls above said.
  bool InTray() const;

  bool DesignPreview() const { return FDesignPreview; }
  void SetDesignPreview(bool value);
  TCustomImageList* IconList() const { return FIconList; }
  void SetIconList(TCustomImageList* value);
  bool CycleIcons() const { return FCycleIcons; }
  void SetCycleIcons(bool value);
  uint32_t CycleInterval() const { return FCycleInterval; }
  void SetCycleInterval(uint32_t value);
  bool Enabled = true;
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& value);
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool value);
  TIcon& Icon() { return *FIcon; }
  void SetIcon(const TIcon* value);
  bool IconVisible() const { return FIconVisible; }
  void SetIconVisible(bool value);
  int IconIndex() const { return FIconIndex; }
  void SetIconIndex(int value);
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* value);
  bool LeftPopup = false;
  bool WantEnterExitEvents() const { return FWantEnterExitEvents; }
  void SetWantEnterExitEvents(bool value);
  bool MinimizeToTray = false;

  TNotifyEvent OnClick, OnDblClick;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter, OnMouseExit;
  TCycleEvent OnCycle;
  TNotifyEvent OnBalloonHintShow, OnBalloonHintHide, OnBalloonHintTimeout, OnBalloonHintClick;
  TNotifyEvent OnMinimizeToTray;
  TStartupEvent OnStartup;

  // The id the icon is known by to the platform and the shared window.
  UINT_PTR NotifyId() const { return FNotifyId; }
  // The record sent with every platform call.
  const NOTIFYICONDATAA& NotifyData() const { return FNotifyData; }

 protected:
  virtual void DoClick();
  virtual void DoDblClick();
  virtual void DoCycle(int nextIndex);
  virtual void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void DoMouseMove(TShiftState shift, int x, int y);
  virtual void DoMouseEnter();
  virtual void DoMouseExit();
  virtual void MinimizeToTrayNow();

 private:
  friend class TTrayIconHandler;
  bool Designing() const { return (ComponentState() & csDesigning) != 0; }
  bool PrepareIconData();
  // Changes the icon without telling the tray (the caller does, once).
  void ChangeIconQuietly(const std::function<void(TIcon&)>& change);
  void HandleIconMessage(UINT event);
  void ShowMenuAtCursor();
  void ClickDefaultItem();
  void CycleTimerTick();
  void ClickTimerTick();
  void ExitTimerTick();
  bool AppWindowHook(TMessage& message);
  void ReleaseHooksAndHandler();
  void SubclassOwner();
  void RestoreOwnerProc();
  LRESULT OwnerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void HideAppMainForm();
  void HideApplicationWindow();
  TWinControl* OwnerControl() const;

  UINT_PTR FNotifyId = 0;
  bool FDesignPreview = false;
  TCustomImageList* FIconList = nullptr;
  bool FCycleIcons = false;
  uint32_t FCycleInterval = 0;
  std::string FHint;
  bool FShowHint = true;
  std::unique_ptr<TIcon> FIcon;
  bool FIconVisible = false;
  int FIconIndex = 0;
  TPopupMenu* FPopupMenu = nullptr;
  bool FWantEnterExitEvents = false;

  std::unique_ptr<TSimpleTimer> FCyclingTimer, FDoubleClickTimer, FLeaveTimer;
  bool FLeftPressed = false, FClickPending = false, FGotDoubleClick = false;
  int FCursorX = 0, FCursorY = 0;
  bool FMouseOutside = true;
  uint8_t FNotifyVersion = 0;
  bool FPreviewing = false;
  bool FShowingMenu = false;
  bool FInTray = false;
  bool FAwaitMainForm = true;
  int FAppHook = 0;
  // The owner's window as hooked (kept: the owner may be half gone when
  // the hook is taken off), its old procedure and ours.
  HWND FOwnerWindow = nullptr;
  WNDPROC FOwnerPrevProc = nullptr;
  WNDPROC FOwnerHookProc = nullptr;
  // Points at us while we live; hooks and re-entered handlers look first.
  std::shared_ptr<TTrayIcon*> FAlive;
  TApplication* FApp = nullptr;
  NOTIFYICONDATAA FNotifyData{};
};

// Brings back the box the program shows, else the dialog that `owner` has
// up (GetLastActivePopup): restored when minimised, raised and given the
// keyboard, as a click on a window whose dialog is up does. False, and
// nothing changes, when none is.
bool BringBackDialogOf(HWND owner);

// Registers TTrayIcon with the form-resource reader; the program does it
// at start, before its forms are read (again is harmless).
void RegisterTrayIconClass();
