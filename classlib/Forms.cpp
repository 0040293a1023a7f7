#include "classlib/Forms.h"

#include <algorithm>
#include <cstdio>

#include "classlib/FormReader.h"
#include "classlib/SysUtils.h"
#include "classlib/controls/DialogKeys.h"
#include "platform/Session.h"
#include "platform/Windows.h"
#include "platform/services/MessageBox.h"
#if __has_include("classlib/Threads.h")
#include "classlib/Threads.h"
#define HK_HAVE_THREADS 1
#endif

void HandleControlException(TObject* sender, const std::exception& e) { Application->HandleException(sender, e); }

namespace {
constexpr UINT_PTR kHintShowTimer = 0x4801;
constexpr UINT_PTR kHintHideTimer = 0x4802;
}  // namespace

namespace {
TApplication* gApplication = nullptr;
TScreen* gScreen = nullptr;
}  // namespace

void MouseControlChanged(TControl* control) {
  if (gApplication) gApplication->MouseControlChanged(control);
}

TCustomForm* GetParentForm(TControl* control) {
  while (control && control->Parent()) control = control->Parent();
  return dynamic_cast<TCustomForm*>(control);
}

// A control's key, seen by its form first when the form asks for it;
// key 0 afterwards means the form took it.
void PreviewKey(TWinControl* target, UINT msg, WORD& key, char16_t& ch) {
  TCustomForm* form = GetParentForm(target);
  if (!form || form == target || !form->KeyPreview) return;
  if (msg == WM_CHAR) form->PreviewKeyPress(ch);
  else if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) form->PreviewKeyDown(key, KeyboardShiftState());
  else form->PreviewKeyUp(key, KeyboardShiftState());
}

const TApplicationRef Application{};
const TScreenRef Screen{};

TApplication* TApplicationRef::operator->() const {
  if (!gApplication) gApplication = new TApplication(nullptr);
  return gApplication;
}

bool TApplicationRef::Exists() const { return gApplication != nullptr; }

TScreen* TScreenRef::operator->() const {
  if (!gScreen) gScreen = new TScreen(nullptr);
  return gScreen;
}

void DoneApplication() {
  FreeComponent(gApplication);
  gApplication = nullptr;
}

int ShowStartupException(const std::exception& e) {
  std::string msg = e.what();
  if (!msg.empty() && msg.back() != '.') msg += '.';
  std::string text = Format("Exception %s in module %s at %p.\r\n%s\r\n", DemangledTypeName(typeid(e)),
                            ExtractFileName(ProgramFileName()), static_cast<const void*>(nullptr), msg);
  std::fprintf(stderr, "%s", text.c_str());
  MessageBoxA(nullptr, text.c_str(), "Application Error", MB_OK | MB_ICONSTOP);
  return 1;
}

// ---- TCustomForm

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner), FCanvas(std::make_unique<TControlCanvas>(this)) {
  TControl::SetVisible(false);
  Font().SetColor(clWindowText);
  Screen->FForms.push_back(this);
}

void TCustomForm::BeforeDestruction() {
  TWinControl::BeforeDestruction();
  DoDestroy();
  // What the form owns may call back into the form's class: it goes now,
  // while that class is still whole.
  DestroyComponents();
}

TCustomForm::~TCustomForm() {
  ClearMessageHandlers();
  // The derived form's handlers must not run while the window goes.
  OnShow = OnHide = OnPaint = OnActivate = OnDeactivate = nullptr;
  OnClose = nullptr;
  OnCloseQuery = nullptr;
  if (gApplication && gApplication->MainForm() == this) gApplication->SetMainForm(nullptr);
  // Our components go while we are still a form.
  DestroyComponents();
  DestroyHandle();
  FCanvas.reset();
  if (gScreen) {
    auto& f = gScreen->FForms;
    f.erase(std::remove(f.begin(), f.end(), this), f.end());
  }
}

void TCustomForm::InitializeForm() {
  std::string name = ClassName();
  bool ownClass = typeid(*this) != typeid(TForm) && typeid(*this) != typeid(TCustomForm);
  if (FindResourceA(nullptr, name.c_str(), "RCDATA")) ReadFormResource(this, name);
  else if (ownClass) throw EResNotFound("Resource " + name + " not found");
  FCreated = true;
  DoCreate();
  if (FShowAfterCreate) {
    FShowAfterCreate = false;
    Show();
  }
}

void TCustomForm::Loaded() {
  TWinControl::Loaded();
}

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TCustomForm::DoDestroy() {
  if (!OnDestroy) return;
  try {
    OnDestroy(this);
  } catch (const std::exception& e) {
    Application->HandleException(this, e);
  }
}

void TCustomForm::UpdateStyles() {
  if (!HandleAllocated()) return;
  TCreateParams p;
  CreateParams(p);
  SetWindowLongPtrA(Handle(), GWL_STYLE, static_cast<LONG_PTR>(p.Style | (Visible() ? WS_VISIBLE : 0)));
  SetWindowLongPtrA(Handle(), GWL_EXSTYLE, static_cast<LONG_PTR>(p.ExStyle));
  SetWindowPos(Handle(), FFormStyle == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
  if (style == FBorderStyle) return;
  FBorderStyle = style;
  UpdateStyles();
}

void TCustomForm::SetFormStyle(TFormStyle style) {
  if (style == FFormStyle) return;
  FFormStyle = style;
  UpdateStyles();
}

void TCustomForm::SetBorderIcons(TBorderIcons icons) {
  if (icons == FBorderIcons) return;
  FBorderIcons = icons;
  UpdateStyles();
}

TWindowState TCustomForm::WindowState() const {
  if (HandleAllocated()) {
    HWND h = const_cast<TCustomForm*>(this)->Handle();
    if (IsIconic(h)) return wsMinimized;
    if (IsZoomed(h)) return wsMaximized;
    return wsNormal;
  }
  return FWindowState;
}

void TCustomForm::SetWindowState(TWindowState state) {
  FWindowState = state;
  if (HandleAllocated() && Visible())
    ShowWindow(Handle(), state == wsMaximized ? SW_MAXIMIZE : state == wsMinimized ? SW_MINIMIZE : SW_RESTORE);
}

void TCustomForm::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  DWORD style = WS_CLIPCHILDREN, ex = 0;
  switch (FBorderStyle) {
    case bsNone: style |= WS_POPUP; break;
    case bsSingle: style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      style |= WS_POPUP | WS_CAPTION;
      ex |= WS_EX_DLGMODALFRAME;
      break;
    case bsToolWindow:
      style |= WS_CAPTION;
      ex |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      style |= WS_CAPTION | WS_THICKFRAME;
      ex |= WS_EX_TOOLWINDOW;
      break;
  }
  if (FBorderStyle != bsNone && (FBorderIcons & biSystemMenu)) {
    style |= WS_SYSMENU;
    if (FBorderStyle != bsDialog && FBorderStyle != bsToolWindow && FBorderStyle != bsSizeToolWin) {
      if (FBorderIcons & biMinimize) style |= WS_MINIMIZEBOX;
      if (FBorderIcons & biMaximize) style |= WS_MAXIMIZEBOX;
    }
  }
  if (FFormStyle == fsStayOnTop) ex |= WS_EX_TOPMOST;
  if (!Enabled()) style |= WS_DISABLED;
  params.Style = style;
  params.ExStyle = ex;
  params.WndParent = FPopupParent && IsWindow(FPopupParent) ? FPopupParent : nullptr;
}

void TCustomForm::StayAboveProgramsTopmostWindows() {
  if (FFormStyle == fsStayOnTop || !gScreen) return;
  for (TCustomForm* f : gScreen->FForms) {
    if (f == this || !f->HandleAllocated()) continue;
    HWND h = f->Handle();
    if (IsWindowVisible(h) && (GetWindowLongPtrA(h, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
      SetFormStyle(fsStayOnTop);
      return;
    }
  }
}

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  if (gApplication && !gApplication->Icon().Empty())
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(gApplication->Icon().Handle()));
}

void TCustomForm::CenterOnScreen() {
  TRect area = Rect(0, 0, Screen->Width(), Screen->Height());
  if (FPosition == poMainFormCenter || FPosition == poOwnerFormCenter) {
    TCustomForm* other = FPosition == poMainFormCenter ? Application->MainForm() : dynamic_cast<TCustomForm*>(Owner());
    if (other && other != this) area = other->BoundsRect();
  }
  SetBounds(area.left + (area.Width() - Width()) / 2, area.top + (area.Height() - Height()) / 2, Width(), Height());
}

void TCustomForm::SetVisible(bool visible) {
  if (IsLoading()) {
    // Shown once the form is made, as a form resource asks.
    FShowAfterCreate = visible;
    return;
  }
  if (visible == Visible()) return;
  if (visible) {
    if (!FPositioned) {
      FPositioned = true;
      if (FPosition == poScreenCenter || FPosition == poDesktopCenter || FPosition == poMainFormCenter ||
          FPosition == poOwnerFormCenter)
        CenterOnScreen();
    }
    HWND h = Handle();
    if (OnShow) OnShow(this);
    TControl::SetVisible(true);
    ShowWindow(h, FWindowState == wsMaximized ? SW_SHOWMAXIMIZED
                  : FWindowState == wsMinimized ? SW_SHOWMINIMIZED
                                                 : SW_SHOWNORMAL);
  } else {
    if (OnHide) OnHide(this);
    TControl::SetVisible(false);
    if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
  }
}

void TCustomForm::Show() {
  SetVisible(true);
  if (HandleAllocated()) SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

bool TCustomForm::Active() const {
  return HandleAllocated() && GetActiveWindow() == const_cast<TCustomForm*>(this)->Handle();
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Close() {
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (Application->MainForm() == this) {
    Application->Terminate();
    Hide();
  } else if (action == caHide) {
    Hide();
  } else if (action == caMinimize) {
    SetWindowState(wsMinimized);
  } else {
    Release();
  }
}

void TCustomForm::Release() {
  // Freed by the application window, outside our own window procedure.
  PostMessageA(Application->Handle(), CM_RELEASE, 0, reinterpret_cast<LPARAM>(this));
}

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control == FActiveControl) return;
  if (FActiveControl) FActiveControl->RemoveFreeNotification(this);
  FActiveControl = control;
  if (FActiveControl) FActiveControl->FreeNotification(this);
  if (FActiveControl && Active() && FActiveControl->CanFocus()) FActiveControl->SetFocus();
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == FActiveControl) FActiveControl = nullptr;
}

namespace {
TWinControl* WindowedControlOf(TWinControl* container, HWND handle) {
  for (int i = 0; i < container->ControlCount(); ++i) {
    TControl* c = container->Controls(i);
    if (!c->IsWindowed()) continue;
    auto* w = static_cast<TWinControl*>(c);
    if (w->HandleAllocated() && w->Handle() == handle) return w;
    if (TWinControl* inner = WindowedControlOf(w, handle)) return inner;
  }
  return nullptr;
}
}  // namespace

void TCustomForm::KeepFocusedControl() {
  HWND focus = GetFocus();
  if (focus == nullptr || !HandleAllocated()) return;
  if (TWinControl* c = WindowedControlOf(this, focus)) {
    if (c != FActiveControl) {
      if (FActiveControl) FActiveControl->RemoveFreeNotification(this);
      FActiveControl = c;
      FActiveControl->FreeNotification(this);
    }
  }
}

void TCustomForm::FocusActiveControl() {
  TWinControl* target = FActiveControl && FActiveControl->CanFocus() ? FActiveControl : nullptr;
  // Else the first control in tab order, as a dialog does.
  if (!target) target = FindNextControl(this, nullptr, true);
  if (!target || !target->CanFocus()) return;
  HWND focus = GetFocus();
  if (focus != nullptr && focus != Handle() && WindowedControlOf(this, focus)) return;
  target->SetFocus();
}

void TCustomForm::Paint() {
  if (OnPaint) OnPaint(this);
}

void TCustomForm::PaintWindow(HDC dc) {
  FCanvas->PaintOn(dc, [this] { Paint(); });
}

void TCustomForm::KeyDown(WORD& key, TShiftState shift) { TWinControl::KeyDown(key, shift); }

void TCustomForm::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_CLOSE:
      Close();
      m.Result = 0;
      return;
    case WM_GETMINMAXINFO: {
      TWinControl::Dispatch(m);
      if (auto* mm = reinterpret_cast<MINMAXINFO*>(m.LParam)) {
        const TSizeConstraints& c = Constraints();
        if (c.MinWidth > 0) mm->ptMinTrackSize.x = c.MinWidth;
        if (c.MinHeight > 0) mm->ptMinTrackSize.y = c.MinHeight;
        if (c.MaxWidth > 0) mm->ptMaxTrackSize.x = c.MaxWidth;
        if (c.MaxHeight > 0) mm->ptMaxTrackSize.y = c.MaxHeight;
      }
      return;
    }
    case WM_WINDOWPOSCHANGING: {
      if (auto* wp = reinterpret_cast<WINDOWPOS*>(m.LParam)) {
        if (!(wp->flags & SWP_NOSIZE)) Constraints().Apply(wp->cx, wp->cy);
        if (ScreenSnap && !(wp->flags & SWP_NOMOVE)) {
          TRect work = Screen->WorkAreaRect();
          int w = (wp->flags & SWP_NOSIZE) ? Width() : wp->cx;
          int h = (wp->flags & SWP_NOSIZE) ? Height() : wp->cy;
          if (std::abs(wp->x - work.left) < SnapBuffer) wp->x = work.left;
          else if (std::abs(wp->x + w - work.right) < SnapBuffer) wp->x = work.right - w;
          if (std::abs(wp->y - work.top) < SnapBuffer) wp->y = work.top;
          else if (std::abs(wp->y + h - work.bottom) < SnapBuffer) wp->y = work.bottom - h;
        }
      }
      TWinControl::Dispatch(m);
      return;
    }
    case WM_SETFOCUS:
      TWinControl::Dispatch(m);
      // The form itself given the keyboard hands it on to its control, as a
      // dialog does.
      if (GetFocus() == Handle()) FocusActiveControl();
      return;
    case WM_ACTIVATE:
      if (LOWORD(m.WParam) == WA_INACTIVE) KeepFocusedControl();
      TWinControl::Dispatch(m);
      if (LOWORD(m.WParam) != WA_INACTIVE) {
        // Not while minimised: the focus comes back with the restore.
        if (HIWORD(m.WParam) == 0) FocusActiveControl();
        if (OnActivate) OnActivate(this);
      } else if (OnDeactivate) {
        OnDeactivate(this);
      }
      return;
    default: TWinControl::Dispatch(m);
  }
}

// ---- TApplication

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  std::string exe = ExtractFileName(ProgramFileName());
  FTitle = ChangeFileExt(exe, "");
  // The GUI thread's queue exists from here on, so posts to its windows
  // are never refused for want of one.
  MSG msg{};
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  FIcon.OnChange = [this](TObject*) { IconChanged(); };
}

void TApplication::IconChanged() {
  HICON icon = FIcon.Handle();
  if (FHandle) SendMessageA(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  if (!gScreen) return;
  for (TCustomForm* form : gScreen->FForms)
    if (form->HandleAllocated()) SendMessageA(form->Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

TApplication::~TApplication() {
  MarkDestroying();
  DestroyComponents();
  FMainForm = nullptr;
#ifdef HK_HAVE_THREADS
  WakeMainThread = nullptr;
#endif
  if (FHandle) DestroyWindow(FHandle);
  if (FProc) FreeObjectWindowProc(FProc);
}

HWND TApplication::Handle() {
  if (!FHandle) {
    FProc = MakeObjectWindowProc([this](HWND h, UINT msg, WPARAM w, LPARAM l) { return WndProc(h, msg, w, l); });
    FHandle = CreateHelperWindow(FProc);
#ifdef HK_HAVE_THREADS
    // A thread's synchronised call wakes the loop through our window.
    HWND h = FHandle;
    WakeMainThread = [h]() { PostMessageA(h, WM_NULL, 0, 0); };
#endif
    if (FHandle) SetWindowTextA(FHandle, FTitle.c_str());
  }
  return FHandle;
}

void TApplication::Initialize() {
  Handle();
  // Logout and the ending signals close the program in order, so what it
  // saves at exit is saved then too.
  InstallSessionEndHandlers();
  // The program's icon is its PNG resource MAINICON, when it has one and a
  // PNG picture class is there to read it; other sizes of the picture are
  // MAINICON16, MAINICON32 and the like, for the window lists that pick one.
  if (FIcon.Empty() && FindResourceA(nullptr, "MAINICON", "PNG") && TPicture::FindExtension("PNG")) {
    FIcon.LoadFromResourceName(nullptr, "MAINICON");
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
      const std::string name = "MAINICON" + std::to_string(size);
      if (!FindResourceA(nullptr, name.c_str(), "PNG")) continue;
      TIcon other;
      other.LoadFromResourceName(nullptr, name);
      FIcon.AddSize(other);
    }
  }
}

LRESULT TApplication::WndProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  TMessage m{msg, w, l, 0};
  try {
    for (auto& hook : std::vector<std::pair<int, TWindowHook>>(FHooks))
      if (hook.second(m)) return m.Result;
    switch (msg) {
      case WM_NULL:
#ifdef HK_HAVE_THREADS
        CheckSynchronize();
#endif
        return 0;
      case CM_RELEASE: {
        // Only a form that is still there: it may have gone with its owner.
        auto* form = reinterpret_cast<TCustomForm*>(l);
        auto& forms = Screen->FForms;
        if (std::find(forms.begin(), forms.end(), form) != forms.end()) FreeComponent(form);
        return 0;
      }
      case WM_TIMER:
        if (w == kHintShowTimer) {
          KillTimer(hwnd, kHintShowTimer);
          ShowHintNow();
          return 0;
        }
        if (w == kHintHideTimer) {
          CancelHint();
          return 0;
        }
        break;
      case WM_CLOSE:
        if (FMainForm) FMainForm->Close();
        return 0;
      case WM_QUERYENDSESSION:
        return TRUE;  // the session ends whatever we answer
      case WM_ENDSESSION:
        if (w) EndSession();
        return 0;
      default: break;
    }
  } catch (const std::exception& e) {
    HandleException(this, e);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, w, l);
}

int TApplication::HookMainWindow(TWindowHook hook) {
  FHooks.emplace_back(FNextHook, std::move(hook));
  return FNextHook++;
}

void TApplication::UnhookMainWindow(int hookId) {
  FHooks.erase(std::remove_if(FHooks.begin(), FHooks.end(), [&](auto& h) { return h.first == hookId; }), FHooks.end());
}

void TApplication::SetTitle(const std::string& title) {
  FTitle = title;
  if (FHandle) SetWindowTextA(FHandle, title.c_str());
}

std::string TApplication::ExeName() const { return ProgramFileName(); }

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == FMainForm) FMainForm = nullptr;
  if (operation == opRemove && component == FHintWindow) FHintWindow = nullptr;
  if (operation == opRemove && component == FHintControl) FHintControl = nullptr;
}

bool TApplication::ProcessMessage() {
  MSG msg{};
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

void TApplication::ProcessMessages() {
  while (ProcessMessage()) {
  }
#ifdef HK_HAVE_THREADS
  CheckSynchronize();
#endif
}

void TApplication::Idle() {
  if (OnIdle) OnIdle(this);
  bool ran = false;
#ifdef HK_HAVE_THREADS
  ran = CheckSynchronize();
#endif
  if (!ran && !FTerminated) WaitMessage();
}

void TApplication::HandleMessage() {
  if (!ProcessMessage()) Idle();
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::EndSession() {
  // The main form closes (it may not refuse); the run then ends and frees
  // the forms, each running its OnDestroy. Loops that watch Terminated
  // (modal ones, long searches) end at once. Once the run is over its
  // forms are being freed: none is closed again.
  if (FMainForm && FRunning) {
    try {
      FMainForm->Close();
    } catch (const std::exception& e) {
      HandleException(this, e);
    }
  }
  Terminate();
  FTerminated = true;
}

void TApplication::Run() {
  Handle();
  FRunning = true;
  if (FMainForm && ShowMainForm) FMainForm->Show();
  while (!FTerminated) {
    try {
      HandleMessage();
    } catch (const std::exception& e) {
      HandleException(this, e);
    }
  }
  FRunning = false;
  // The program's end frees the forms, and their OnDestroy runs.
  DestroyComponents();
  FMainForm = nullptr;
}

void TApplication::HandleException(TObject* sender, const std::exception& e) {
  if (OnException) {
    OnException(sender, e);
    return;
  }
  ShowException(e);
}

void TApplication::ShowException(const std::exception& e) {
  std::string msg = e.what();
  if (!msg.empty() && msg.back() > '.') msg += '.';
  HWND owner = FMainForm && FMainForm->HandleAllocated() ? FMainForm->Handle() : nullptr;
  MessageBoxA(owner, msg.c_str(), FTitle.c_str(), MB_OK | MB_ICONSTOP);
}

void TApplication::MouseControlChanged(TControl* control) {
  CancelHint();
  FHintControl = nullptr;
  if (!control || !ShowHint || !control->ShowHint() || GetShortHint(control->Hint()).empty()) return;
  FHintControl = control;
  SetTimer(Handle(), kHintShowTimer, static_cast<UINT>(HintPause), nullptr);
}

void TApplication::ShowHintNow() {
  if (!FHintControl) return;
  if (!FHintWindow) {
    FHintWindow = new THintWindow(this);
    FHintWindow->FreeNotification(this);
  }
  std::string text = GetShortHint(FHintControl->Hint());
  POINT p{};
  GetCursorPos(&p);
  TRect r = FHintWindow->CalcHintRect(Screen->Width() / 3, text);
  // Below the pointer, as a cursor is about that tall.
  FHintWindow->ActivateHint(Bounds(p.x, p.y + 20, r.Width(), r.Height()), text);
  SetTimer(Handle(), kHintHideTimer, static_cast<UINT>(HintHidePause), nullptr);
}

void TApplication::CancelHint() {
  if (FHandle) {
    KillTimer(FHandle, kHintShowTimer);
    KillTimer(FHandle, kHintHideTimer);
  }
  if (FHintWindow) FHintWindow->ReleaseHint();
}

// ---- TScreen

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }

TRect TScreen::WorkAreaRect() const {
  RECT r{0, 0, Width(), Height()};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

TCustomForm* TScreen::ActiveForm() const {
  HWND active = GetActiveWindow();
  for (TCustomForm* f : FForms)
    if (f->HandleAllocated() && f->Handle() == active) return f;
  return nullptr;
}

void TScreen::SetCursor(TCursor cursor) {
  FCursor = cursor;
  if (cursor != crDefault) ::SetCursor(CursorHandleOf(cursor));
}
