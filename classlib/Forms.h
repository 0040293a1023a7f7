// Forms, the application object and the screen.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Controls.h"
#include "classlib/Hints.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TBorderIcon { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = uint8_t;
enum TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

class TCustomForm : public TWinControl {
 public:
  // A form without a form resource; forms of a class of their own come
  // from CreateForm (below), which reads theirs.
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  // OnDestroy, then the components the form owns, while all of it exists.
  void BeforeDestruction() override;

  // Reads the form resource named after the class (type RCDATA), runs Loaded
  // on everything read and then OnCreate. Raises EResNotFound "Resource %s
  // not found" when a form class of its own has none.
  void InitializeForm();

  TCanvas& Canvas() { return *FCanvas; }
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle style);
  TFormStyle FormStyle() const { return FFormStyle; }
  void SetFormStyle(TFormStyle style);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons icons);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition position) { FPosition = position; }
  bool ScreenSnap = false;
  int SnapBuffer = 10;
  // The form's key events see the keys of its controls first.
  bool KeyPreview = false;
  // For KeyPreview: the form's own key handling of a control's key.
  void PreviewKeyDown(WORD& key, TShiftState shift) { KeyDown(key, shift); }
  void PreviewKeyUp(WORD& key, TShiftState shift) { KeyUp(key, shift); }
  void PreviewKeyPress(char16_t& key) { KeyPress(key); }
  TWindowState WindowState() const;
  void SetWindowState(TWindowState state);

  // The window the form's window belongs to (a dialog's owner): it stays
  // above it, out of the taskbar; set before the window is made.
  HWND PopupParent() const { return FPopupParent; }
  void SetPopupParent(HWND owner) { FPopupParent = owner; }
  // Before showing a message box or dialog: it stays on top while one of
  // the program's windows does, so that it never opens behind it.
  void StayAboveProgramsTopmostWindows();

  void Show();
  void Hide() { SetVisible(false); }
  void Close();
  // Frees the form once the messages now queued have run.
  void Release();
  void SetVisible(bool visible) override;
  bool Active() const;
  // The control that gets the focus whenever the form becomes active; the
  // focused one is kept here while the form is inactive.
  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* control);

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnPaint;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  void Dispatch(TMessage& message) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void PaintWindow(HDC dc) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  virtual void Paint();
  virtual bool CloseQuery();
  virtual void DoCreate();
  virtual void DoDestroy();
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void UpdateStyles();

 private:
  void CenterOnScreen();
  void KeepFocusedControl();
  void FocusActiveControl();
  TWinControl* FActiveControl = nullptr;
  std::unique_ptr<TControlCanvas> FCanvas;
  TFormBorderStyle FBorderStyle = bsSizeable;
  TFormStyle FFormStyle = fsNormal;
  TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
  TPosition FPosition = poDesigned;
  HWND FPopupParent = nullptr;
  TWindowState FWindowState = wsNormal;
  bool FCreated = false;
  bool FPositioned = false;
  bool FShowAfterCreate = false;
};

class TForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

// The form a control stands on (the top of its parents), or nullptr.
TCustomForm* GetParentForm(TControl* control);

// Makes a form of class T owned by owner, reads its form resource and runs
// OnCreate: the way every form of a class of its own comes to life.
template <typename T>
T* CreateFormOf(TComponent* owner) {
  TComponentPtr<T> form(new T(owner));
  form->InitializeForm();
  return form.release();
}

using TExceptionEvent = std::function<void(TObject* sender, const std::exception& e)>;
// Sees every message of the application's hidden window first; true when
// it handled the message.
using TWindowHook = std::function<bool(TMessage& message)>;

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  void Initialize();
  // Makes the form; the first one made becomes the main form.
  template <typename T>
  void CreateForm(T*& reference) {
    reference = CreateFormOf<T>(this);
    if (!FMainForm) FMainForm = reference;
  }
  // Shows the main form (unless ShowMainForm is false) and runs the message
  // loop until Terminate; then frees the forms, as the program's end does.
  void Run();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // The session ends (WM_ENDSESSION: logout, SIGTERM, SIGHUP, SIGINT once
  // Initialize ran): the main form closes and the run ends.
  void EndSession();
  // Runs every message waiting now, and the threads' synchronised calls;
  // returns at once when nothing waits.
  void ProcessMessages();
  // One message, or waits for one when none is there.
  void HandleMessage();
  // The default handler of what escapes an event handler: OnException, or
  // a message box with the message (headless: recorded by the platform).
  void HandleException(TObject* sender, const std::exception& e);
  void ShowException(const std::exception& e);

  TCustomForm* MainForm() const { return FMainForm; }
  void SetMainForm(TCustomForm* form) { FMainForm = form; }
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& title);
  // The program's icon: every form's window shows it (and the tray, when
  // the program puts it there). Initialize loads the PNG resource MAINICON
  // when the program has one; another: Icon().LoadFromResourceName(0, NAME).
  TIcon& Icon() { return FIcon; }
  std::string ExeName() const;
  // The hidden application window, made on first use.
  HWND Handle();
  bool ShowMainForm = true;
  bool ShowHint = true;
  // Milliseconds the mouse rests before a hint shows, and that it stays.
  int HintPause = 500;
  int HintHidePause = 2500;
  // The hint window, when a hint was ever shown.
  THintWindow* HintWindow() const { return FHintWindow; }
  void CancelHint();
  // The control under the mouse changed (the controls tell us).
  void MouseControlChanged(TControl* control);

  int HookMainWindow(TWindowHook hook);
  void UnhookMainWindow(int hookId);

  TExceptionEvent OnException;
  TNotifyEvent OnIdle;

  void Notification(TComponent* component, TOperation operation) override;

 private:
  bool ProcessMessage();
  void Idle();
  void IconChanged();
  LRESULT WndProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l);
  TCustomForm* FMainForm = nullptr;
  std::string FTitle;
  TIcon FIcon;
  HWND FHandle = nullptr;
  WNDPROC FProc = nullptr;
  bool FTerminated = false;
  bool FRunning = false;
  std::vector<std::pair<int, TWindowHook>> FHooks;
  int FNextHook = 1;
  void ShowHintNow();
  THintWindow* FHintWindow = nullptr;
  TControl* FHintControl = nullptr;
};

class TScreen : public TComponent {
 public:
  friend class TApplication;
  explicit TScreen(TComponent* owner) : TComponent(owner) {}
  int Width() const;
  int Height() const;
  TRect WorkAreaRect() const;
  int PixelsPerInch() const { return 96; }
  int FormCount() const { return static_cast<int>(FForms.size()); }
  TCustomForm* Forms(int index) const { return FForms.at(static_cast<size_t>(index)); }
  // The form whose window is active, or nullptr.
  TCustomForm* ActiveForm() const;
  // A cursor for every window of the program (crDefault: each control's own).
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor cursor);

 private:
  friend class TCustomForm;
  std::vector<TCustomForm*> FForms;
  TCursor FCursor = crDefault;
};

// The program's one application object and screen, made on first use.
struct TApplicationRef {
  TApplication* operator->() const;
  // Whether the object is made yet (looking makes nothing).
  bool Exists() const;
  TApplication& operator*() const { return *operator->(); }
  operator TApplication*() const { return operator->(); }  // NOLINT: stands for the object
  operator TComponent*() const { return operator->(); }    // NOLINT
};
struct TScreenRef {
  TScreen* operator->() const;
  TScreen& operator*() const { return *operator->(); }
  operator TScreen*() const { return operator->(); }  // NOLINT
};
extern const TApplicationRef Application;
extern const TScreenRef Screen;

// Frees the application object and everything it owns (the program's end;
// tests use it to start afresh).
void DoneApplication();

// What the run-time shows when an exception leaves the program's start:
// "Exception <class> in module <program> at <address>.\r\n<message>\r\n",
// titled "Application Error". Returns the exit code to end with.
int ShowStartupException(const std::exception& e);
