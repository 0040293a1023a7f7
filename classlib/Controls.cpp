#include "classlib/Controls.h"

#include <algorithm>
#include <set>

#include "classlib/SysUtils.h"

// Defined with the application object: what escapes a handler goes there.
void HandleControlException(TObject* sender, const std::exception& e);
// With the application object too: it shows hints for the control under the mouse.
void MouseControlChanged(TControl* control);
// And its form's KeyPreview.
void PreviewKey(TWinControl* target, UINT msg, WORD& key, char16_t& ch);

namespace {

// The control under the mouse, for CM_MOUSEENTER and CM_MOUSELEAVE.
TControl* gMouseControl = nullptr;
// The control whose window is being made: its first message binds it.
thread_local TWinControl* gCreationControl = nullptr;

void UpdateMouseControl(TControl* control) {
  if (control == gMouseControl) return;
  TControl* old = gMouseControl;
  gMouseControl = control;
  if (old) old->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(old));
  if (control) control->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(control));
  MouseControlChanged(control);
}

int SignedLo(LPARAM l) { return static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(l))); }
int SignedHi(LPARAM l) { return static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(l))); }
LPARAM MakePoint(int x, int y) {
  return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y))));
}

bool IsMouseMessage(UINT msg) { return msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK; }

const char* StockCursor(TCursor c) {
  switch (c) {
    case crCross: return IDC_CROSS;
    case crIBeam: return IDC_IBEAM;
    case crSizeNESW: return IDC_SIZENESW;
    case crSizeNS: return IDC_SIZENS;
    case crSizeNWSE: return IDC_SIZENWSE;
    case crSizeWE: return IDC_SIZEWE;
    case crHourGlass: return IDC_WAIT;
    case crNo: return IDC_NO;
    case crHandPoint: return IDC_HAND;
    case crSizeAll: return IDC_SIZEALL;
    default: return IDC_ARROW;
  }
}

std::set<std::string>& RegisteredClasses() {
  static std::set<std::string> s;
  return s;
}

}  // namespace

LRESULT TWinControl::InitWndProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  TWinControl* control = gCreationControl;
  if (!control) return DefWindowProcA(hwnd, msg, w, l);
  gCreationControl = nullptr;
  // The control takes its window over from its first message on.
  control->FHandle = hwnd;
  SetWindowLongPtrA(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(control->FObjectProc));
  return CallWindowProcA(control->FObjectProc, hwnd, msg, w, l);
}

HCURSOR CursorHandleOf(TCursor cursor) { return LoadCursorA(nullptr, StockCursor(cursor)); }

TShiftState MouseShiftState(WPARAM keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  if (keys & MK_MBUTTON) s |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

TShiftState KeyboardShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

// ---- TSizeConstraints

void TSizeConstraints::Assign(const TPersistent* source) {
  if (auto* c = dynamic_cast<const TSizeConstraints*>(source)) {
    MinWidth = c->MinWidth;
    MinHeight = c->MinHeight;
    MaxWidth = c->MaxWidth;
    MaxHeight = c->MaxHeight;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TSizeConstraints::Apply(int& width, int& height) const {
  if (MaxWidth > 0 && width > MaxWidth) width = MaxWidth;
  if (MaxHeight > 0 && height > MaxHeight) height = MaxHeight;
  if (MinWidth > 0 && width < MinWidth) width = MinWidth;
  if (MinHeight > 0 && height < MinHeight) height = MinHeight;
}

// ---- TControl

TControl::TControl(TComponent* owner) : TComponent(owner), FFont(std::make_unique<TFont>()) {
  FFont->OnChange = [this](TObject*) { FontChanged(); };
  FConstraints.OnChange = [this](TObject*) { SetBounds(FLeft, FTop, FWidth, FHeight); };
}

TControl::~TControl() {
  MarkDestroying();
  if (gMouseControl == this) {
    gMouseControl = nullptr;
    MouseControlChanged(nullptr);
  }
  FMessageHandlers.clear();
  if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (FParent) FParent->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

void TControl::SetParentComponent(TComponent* parent) {
  if (!parent) return;
  auto* w = dynamic_cast<TWinControl*>(parent);
  if (!w) throw EInvalidOperation("Control '" + Name() + "' cannot stand inside " + parent->ClassName());
  SetParent(w);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  FConstraints.Apply(width, height);
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  bool sized = width != FWidth || height != FHeight;
  if (left == FLeft && top == FTop && !sized) return;
  Invalidate();
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  Invalidate();
  if (!FAnchoring) UpdateAnchorRules();
  if (sized) Resize();
  if (FParent && FAlign != alNone) FParent->Realign();
}

void TControl::SetClientSize(int width, int height) {
  TRect c = ClientRect();
  SetBounds(FLeft, FTop, FWidth + width - c.Width(), FHeight + height - c.Height());
}

POINT TControl::ClientToScreen(POINT p) const {
  POINT q = ClientToParent(p);
  return FParent ? FParent->ClientToScreen(q) : q;
}

POINT TControl::ScreenToClient(POINT p) const {
  POINT q = FParent ? FParent->ScreenToClient(p) : p;
  return {q.x - FLeft, q.y - FTop};
}

void TControl::SetAlign(TAlign align) {
  if (align == FAlign) return;
  FAlign = align;
  if (FParent) FParent->Realign();
}

void TControl::SetAnchors(TAnchors anchors) {
  FAnchors = anchors;
  UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
  if (!FParent) return;
  FAnchorOrigin = BoundsRect();
  TRect pc = FParent->ClientRect();
  FAnchorParentSize = {pc.Width(), pc.Height()};
}

bool TControl::Showing() const {
  if (!FVisible) return false;
  return FParent ? FParent->Showing() : true;
}

void TControl::SetVisible(bool visible) {
  if (visible == FVisible) return;
  FVisible = true;  // so the area invalidates either way
  Invalidate();
  FVisible = visible;
  Perform(CM_VISIBLECHANGED, visible ? 1 : 0);
  if (FParent && FAlign != alNone) FParent->Realign();
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == FEnabled) return;
  FEnabled = enabled;
  Perform(CM_ENABLEDCHANGED);
  Invalidate();
}

void TControl::SetCursor(TCursor cursor) {
  if (cursor == FCursor) return;
  FCursor = cursor;
  Perform(CM_CURSORCHANGED);
}

void TControl::SetShowHint(bool value) {
  FShowHint = value;
  FParentShowHint = false;
  Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool value) {
  FParentShowHint = value;
  if (value && FParent) FShowHint = FParent->ShowHint();
}

void TControl::FontChanged() {
  if (!FFontChanging) FParentFont = false;
  Perform(CM_FONTCHANGED);
  Invalidate();
  if (auto* w = dynamic_cast<TWinControl*>(this))
    for (TControl* c : w->FControls)
      if (c->FParentFont) c->ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!FParent || !FParentFont) return;
  FFontChanging = true;
  FFont->Assign(&FParent->Font());
  FFontChanging = false;
}

void TControl::SetParentFont(bool value) {
  FParentFont = value;
  if (value) ParentFontChanged();
}

void TControl::SetColor(TColor color) {
  FParentColor = false;
  if (color == FColor) return;
  FColor = color;
  Perform(CM_COLORCHANGED);
  ColorChanged();
}

void TControl::SetParentColor(bool value) {
  FParentColor = value;
  if (value && FParent && FParent->Color() != FColor) {
    FColor = FParent->Color();
    ColorChanged();
  }
}

void TControl::SetText(const std::string& text) {
  if (text == FText) return;
  FText = text;
  Perform(CM_TEXTCHANGED);
  TextChanged();
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& message) {
  auto it = FMessageHandlers.find(message.Msg);
  if (it != FMessageHandlers.end()) {
    // A copy: the handler may replace itself.
    TMessageHandler h = it->second;
    h(message);
    return;
  }
  Dispatch(message);
}

void TControl::Dispatch(TMessage& message) {
  if (IsMouseMessage(message.Msg)) HandleMouse(message);
}

void TControl::SetMessageHandler(UINT msg, TMessageHandler handler) {
  if (handler) FMessageHandlers[msg] = std::move(handler);
  else FMessageHandlers.erase(msg);
}

void TControl::Invalidate() {
  if (!FParent || !FParent->HandleAllocated() || !FVisible) return;
  RECT r = BoundsRect();
  InvalidateRect(FParent->Handle(), &r, TRUE);
}

void TControl::Update() {
  if (FParent) FParent->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::BringToFront() {
  if (!FParent) return;
  auto& c = FParent->FControls;
  c.erase(std::remove(c.begin(), c.end(), this), c.end());
  c.push_back(this);
  if (FWindowed && static_cast<TWinControl*>(this)->HandleAllocated())
    SetWindowPos(static_cast<TWinControl*>(this)->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

void TControl::SendToBack() {
  if (!FParent) return;
  auto& c = FParent->FControls;
  c.erase(std::remove(c.begin(), c.end(), this), c.end());
  c.insert(c.begin(), this);
  if (FWindowed && static_cast<TWinControl*>(this)->HandleAllocated())
    SetWindowPos(static_cast<TWinControl*>(this)->Handle(), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::HandleMouse(TMessage& m) {
  int x = SignedLo(m.LParam), y = SignedHi(m.LParam);
  TShiftState shift = MouseShiftState(m.WParam);
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
      FClicked = true;
      MouseDown(mbLeft, shift, x, y);
      break;
    case WM_LBUTTONDBLCLK:
      DblClick();
      MouseDown(mbLeft, shift | ssDouble, x, y);
      break;
    case WM_LBUTTONUP:
      if (FClicked) {
        FClicked = false;
        if (ClientRect().Contains(Point(x, y))) Click();
      }
      MouseUp(mbLeft, shift, x, y);
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      MouseDown(mbRight, shift | (m.Msg == WM_RBUTTONDBLCLK ? ssDouble : 0), x, y);
      break;
    case WM_RBUTTONUP: MouseUp(mbRight, shift, x, y); break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      MouseDown(mbMiddle, shift | (m.Msg == WM_MBUTTONDBLCLK ? ssDouble : 0), x, y);
      break;
    case WM_MBUTTONUP: MouseUp(mbMiddle, shift, x, y); break;
    case WM_MOUSEMOVE: MouseMove(shift, x, y); break;
    default: break;
  }
}

HCURSOR TControl::CursorHandle() const { return CursorHandleOf(FCursor); }

// ---- TControlCanvas

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::FreeHandle() {
  if (!FDC) return;
  HDC dc = FDC;
  FDC = nullptr;
  SetHandle(nullptr);
  ReleaseDC(FWnd, dc);
  FWnd = nullptr;
}

void TControlCanvas::PaintOn(HDC dc, const std::function<void()>& paint) {
  Lock();
  FreeHandle();
  SetHandle(dc);
  try {
    Font().Assign(&FControl->Font());
    Brush().SetColor(FControl->Color());
    paint();
  } catch (...) {
    SetHandle(nullptr);
    Unlock();
    throw;
  }
  SetHandle(nullptr);
  Unlock();
}

void TControlCanvas::CreateHandle() {
  if (FDC) return;
  TWinControl* owner = FControl->IsWindowed() ? static_cast<TWinControl*>(FControl) : FControl->Parent();
  if (!owner) return;
  FWnd = owner->Handle();
  FDC = GetDC(FWnd);
  if (!FDC) return;
  if (!FControl->IsWindowed()) {
    SetViewportOrgEx(FDC, FControl->Left(), FControl->Top(), nullptr);
    IntersectClipRect(FDC, 0, 0, FControl->Width(), FControl->Height());
  }
  SetHandle(FDC);
}

// ---- TGraphicControl

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner), FCanvas(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() { FCanvas.reset(); }

void TGraphicControl::PaintTo(HDC dc) {
  FCanvas->PaintOn(dc, [this] { Paint(); });
}

// ---- TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) { FWindowed = true; }

TWinControl::~TWinControl() {
  MarkDestroying();
  ClearMessageHandlers();
  // Closing the window sends focus and size messages; the handlers bound
  // to them may belong to a form whose own part is gone already.
  OnEnter = nullptr;
  OnExit = nullptr;
  OnKeyDown = nullptr;
  OnKeyUp = nullptr;
  OnKeyPress = nullptr;
  OnResize = nullptr;
  // Children go with their parent, whoever owns them.
  while (!FControls.empty()) delete FControls.back();
  DestroyHandle();
  if (FObjectProc) FreeObjectWindowProc(FObjectProc);
  FObjectProc = nullptr;
  // What is left of us from here on is a plain control.
  FWindowed = false;
}

TControl* TWinControl::Controls(int index) const {
  if (index < 0 || index >= ControlCount()) throw EListError(Format("List index out of bounds (%d)", index));
  return FControls[static_cast<size_t>(index)];
}

void TWinControl::InsertControl(TControl* control) {
  FControls.push_back(control);
  control->FParent = this;
  if (control->FParentFont) control->ParentFontChanged();
  if (control->FParentColor) control->SetParentColor(true);
  if (control->FParentShowHint) control->FShowHint = ShowHint();
  control->UpdateAnchorRules();
  if (control->FWindowed && FHandle) static_cast<TWinControl*>(control)->HandleNeeded();
  if (control->FAlign != alNone) Realign();
  control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
  auto it = std::find(FControls.begin(), FControls.end(), control);
  if (it == FControls.end()) return;
  control->Invalidate();
  if (FMouseCapture == control) FMouseCapture = nullptr;
  if (control->FWindowed) static_cast<TWinControl*>(control)->DestroyHandle();
  FControls.erase(std::find(FControls.begin(), FControls.end(), control));
  control->FParent = nullptr;
  if (control->FAlign != alNone && !IsDestroying()) Realign();
}

TControl* TWinControl::ControlAtPos(POINT p, bool allowDisabled) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    TControl* c = *it;
    if (c->Visible() && (allowDisabled || c->Enabled()) && c->BoundsRect().Contains(p)) return c;
  }
  return nullptr;
}

TRect TWinControl::ClientRect() const {
  if (FHandle) {
    RECT r{};
    if (GetClientRect(FHandle, &r)) return r;
  }
  return Rect(0, 0, FWidth, FHeight);
}

POINT TWinControl::ClientToScreen(POINT p) const {
  if (FHandle) {
    ::ClientToScreen(FHandle, &p);
    return p;
  }
  return TControl::ClientToScreen(p);
}

POINT TWinControl::ScreenToClient(POINT p) const {
  if (FHandle) {
    ::ScreenToClient(FHandle, &p);
    return p;
  }
  return TControl::ScreenToClient(p);
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.Caption = Text();
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  if (Visible()) params.Style |= WS_VISIBLE;
  if (!Enabled()) params.Style |= WS_DISABLED;
  if (FTabStop) params.Style |= WS_TABSTOP;
  params.X = FLeft;
  params.Y = FTop;
  params.Width = FWidth;
  params.Height = FHeight;
  params.WndParent = Parent() ? Parent()->Handle() : nullptr;
  params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  params.WindowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  params.WinClassName = ClassName();
}

HWND TWinControl::Handle() {
  if (!FHandle && !FCreatingHandle && !IsDestroying()) CreateWnd();
  return FHandle;
}

void TWinControl::CreateWnd() {
  TCreateParams p;
  CreateParams(p);
  // Asking for the parent's window made it, and a parent makes the windows
  // of its children as it is made: ours is there now, and a second would
  // be left behind with a freed procedure, painting forever.
  if (FHandle) return;
  if ((p.Style & WS_CHILD) && !p.WndParent)
    throw EInvalidOperation("Control '" + Name() + "' has no parent window");
  std::string cls = p.WinClassName;
  if (!RegisteredClasses().count(LowerCase(cls))) {
    WNDCLASSA wc = p.WindowClass;
    wc.lpfnWndProc = InitWndProc;
    wc.lpszClassName = cls.c_str();
    wc.hbrBackground = nullptr;
    if (!RegisterClassA(&wc)) {
      WNDCLASSA existing{};
      if (!GetClassInfoA(nullptr, cls.c_str(), &existing))
        throw EInvalidOperation("Error creating window class " + cls);
    }
    RegisteredClasses().insert(LowerCase(cls));
  }
  if (FObjectProc) FreeObjectWindowProc(FObjectProc);
  FObjectProc = MakeObjectWindowProc([this](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
    TMessage m{msg, w, l, 0};
    try {
      WndProc(m);
    } catch (const std::exception& e) {
      HandleControlException(this, e);
    }
    (void)hwnd;
    return m.Result;
  });
  FDefWndProc = DefWindowProcA;
  FCreatingHandle = true;
  gCreationControl = this;
  HWND h = CreateWindowExA(p.ExStyle, cls.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y, p.Width, p.Height,
                           p.WndParent, nullptr, nullptr, p.Param);
  gCreationControl = nullptr;
  FCreatingHandle = false;
  if (!h) {
    FHandle = nullptr;
    throw EInvalidOperation("Error creating window");
  }
  FHandle = h;
  // The window may have been given another size (constraints, the screen).
  RECT wr{};
  if (GetWindowRect(h, &wr) && !(p.Style & WS_CHILD)) {
    FLeft = wr.left;
    FTop = wr.top;
  }
  for (TControl* c : std::vector<TControl*>(FControls))
    if (c->FWindowed) static_cast<TWinControl*>(c)->HandleNeeded();
}

void TWinControl::DestroyWnd() {
  HWND h = FHandle;
  if (!h) return;
  for (TControl* c : FControls)
    if (c->FWindowed) static_cast<TWinControl*>(c)->FHandle = nullptr;
  FHandle = nullptr;
  DestroyWindow(h);
}

void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  for (TControl* c : FControls)
    if (c->FWindowed) static_cast<TWinControl*>(c)->DestroyHandle();
  DestroyWnd();
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (!FHandle) {
    TControl::SetBounds(left, top, width, height);
    return;
  }
  Constraints().Apply(width, height);
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  // WM_WINDOWPOSCHANGED brings the new bounds back.
  SetWindowPos(FHandle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (!FAnchoring) UpdateAnchorRules();
  if (Parent() && Align() != alNone) Parent()->Realign();
}

void TWinControl::SetVisible(bool visible) {
  if (visible == Visible()) return;
  TControl::SetVisible(visible);
  if (FHandle) ShowWindow(FHandle, visible ? SW_SHOW : SW_HIDE);
  else if (visible && Parent() && Parent()->HandleAllocated()) HandleNeeded();
}

void TWinControl::SetEnabled(bool enabled) {
  TControl::SetEnabled(enabled);
  if (FHandle) EnableWindow(FHandle, enabled ? TRUE : FALSE);
}

void TWinControl::SetText(const std::string& text) {
  TControl::SetText(text);
  if (FHandle) SetWindowTextA(FHandle, text.c_str());
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::Update() {
  if (FHandle) UpdateWindow(FHandle);
}

bool TWinControl::Focused() { return FHandle && GetFocus() == FHandle; }

bool TWinControl::CanFocus() {
  for (TControl* c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  ::SetFocus(Handle());
}

void TWinControl::ColorChanged() {
  FBrush.SetColor(Color());
  for (TControl* c : FControls)
    if (c->ParentColor()) c->SetParentColor(true);
  TControl::ColorChanged();
}

void TWinControl::Resize() {
  Realign();
  TControl::Resize();
}

void TWinControl::Realign() {
  if (FAligning) return;
  FAligning = true;
  try {
    TRect r = ClientRect();
    AlignControls(r);
    ApplyAnchors();
  } catch (...) {
    FAligning = false;
    throw;
  }
  FAligning = false;
}

void TWinControl::AlignControls(TRect& rect) {
  auto place = [&](TControl* c, int l, int t, int w, int h) {
    c->FAnchoring = true;
    c->SetBounds(l, t, w, h);
    c->FAnchoring = false;
  };
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<TControl*> list;
    for (TControl* c : FControls)
      if (c->Align() == a && c->Visible()) list.push_back(c);
    // Top-aligned ones in the order they stand, bottom-aligned from below, ...
    std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
      switch (a) {
        case alTop: return x->Top() < y->Top();
        case alBottom: return x->Top() + x->Height() > y->Top() + y->Height();
        case alLeft: return x->Left() < y->Left();
        case alRight: return x->Left() + x->Width() > y->Left() + y->Width();
        default: return false;
      }
    });
    for (TControl* c : list) {
      int w = rect.Width(), h = rect.Height();
      switch (a) {
        case alTop:
          place(c, rect.left, rect.top, w, c->Height());
          rect.top += c->Height();
          break;
        case alBottom:
          place(c, rect.left, rect.bottom - c->Height(), w, c->Height());
          rect.bottom -= c->Height();
          break;
        case alLeft:
          place(c, rect.left, rect.top, c->Width(), h);
          rect.left += c->Width();
          break;
        case alRight:
          place(c, rect.right - c->Width(), rect.top, c->Width(), h);
          rect.right -= c->Width();
          break;
        case alClient: place(c, rect.left, rect.top, w, h); break;
        default: break;
      }
    }
  }
}

void TWinControl::ApplyAnchors() {
  TRect pc = ClientRect();
  for (TControl* c : FControls) {
    if (c->Align() != alNone) continue;
    if (c->FAnchorParentSize.cx == 0 && c->FAnchorParentSize.cy == 0) {
      // Placed before we had a size: the rules start now.
      c->UpdateAnchorRules();
      continue;
    }
    const TRect& o = c->FAnchorOrigin;
    int dx = pc.Width() - c->FAnchorParentSize.cx, dy = pc.Height() - c->FAnchorParentSize.cy;
    int l = o.left, t = o.top, w = o.Width(), h = o.Height();
    TAnchors a = c->Anchors();
    if ((a & akLeft) && (a & akRight)) w += dx;
    else if (a & akRight) l += dx;
    else if (!(a & akLeft)) l += dx / 2;
    if ((a & akTop) && (a & akBottom)) h += dy;
    else if (a & akBottom) t += dy;
    else if (!(a & akTop)) t += dy / 2;
    c->FAnchoring = true;
    c->SetBounds(l, t, w, h);
    c->FAnchoring = false;
  }
}

void TWinControl::EraseBackground(HDC dc) {
  if (Color() == clNone) return;
  FBrush.SetColor(Color());
  RECT r = ClientRect();
  ::FillRect(dc, &r, FBrush.Handle());
}

void TWinControl::PaintControls(HDC dc) {
  for (TControl* c : std::vector<TControl*>(FControls)) {
    if (c->FWindowed || !c->Visible() || c->Width() <= 0 || c->Height() <= 0) continue;
    int saved = SaveDC(dc);
    POINT org{};
    GetViewportOrgEx(dc, &org);
    SetViewportOrgEx(dc, org.x + c->Left(), org.y + c->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
    try {
      static_cast<TGraphicControl*>(c)->PaintTo(dc);
    } catch (...) {
      RestoreDC(dc, saved);
      throw;
    }
    RestoreDC(dc, saved);
  }
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(WORD& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char16_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (!FHandle) return;
  m.Result = CallWindowProcA(FDefWndProc ? FDefWndProc : DefWindowProcA, FHandle, m.Msg, m.WParam, m.LParam);
}

void TWinControl::WMPaint(TMessage& m) {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(FHandle, &ps);
  if (!dc) return;
  try {
    PaintWindow(dc);
    PaintControls(dc);
  } catch (...) {
    EndPaint(FHandle, &ps);
    throw;
  }
  EndPaint(FHandle, &ps);
  m.Result = 0;
}

void TWinControl::WMMouse(TMessage& m) {
  POINT p{SignedLo(m.LParam), SignedHi(m.LParam)};
  TControl* target = FMouseCapture;
  if (!target) {
    TControl* c = ControlAtPos(p);
    target = c && !c->FWindowed ? c : this;
  }
  bool down = m.Msg == WM_LBUTTONDOWN || m.Msg == WM_RBUTTONDOWN || m.Msg == WM_MBUTTONDOWN ||
              m.Msg == WM_LBUTTONDBLCLK || m.Msg == WM_RBUTTONDBLCLK || m.Msg == WM_MBUTTONDBLCLK;
  bool up = m.Msg == WM_LBUTTONUP || m.Msg == WM_RBUTTONUP || m.Msg == WM_MBUTTONUP;
  if (m.Msg == WM_MOUSEMOVE) {
    // The pointer over a child while a button is held stays with the captor.
    TControl* over = FMouseCapture;
    if (!over) over = target;
    UpdateMouseControl(over);
    if (!FTrackingLeave) {
      TRACKMOUSEEVENT t{sizeof(TRACKMOUSEEVENT), TME_LEAVE, FHandle, 0};
      FTrackingLeave = TrackMouseEvent(&t) != 0;
    }
  }
  if (down) {
    MouseControlChanged(nullptr);  // a press puts the hint away
    FMouseCapture = target;
    SetCapture(FHandle);
  }
  TMessage tm = m;
  if (target != this) tm.LParam = MakePoint(p.x - target->Left(), p.y - target->Top());
  target->HandleMouse(tm);
  if (up && !(m.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
    FMouseCapture = nullptr;
    if (GetCapture() == FHandle) ReleaseCapture();
  }
  m.Result = 0;
}

void TWinControl::Dispatch(TMessage& m) {
  if (IsMouseMessage(m.Msg)) {
    WMMouse(m);
    return;
  }
  switch (m.Msg) {
    case WM_PAINT: WMPaint(m); return;
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(m.WParam));
      m.Result = 1;
      return;
    case WM_MOUSELEAVE:
      FTrackingLeave = false;
      if (gMouseControl == this || (gMouseControl && gMouseControl->Parent() == this && !gMouseControl->FWindowed))
        UpdateMouseControl(nullptr);
      return;
    case WM_SETCURSOR:
      if (LOWORD(static_cast<uintptr_t>(m.LParam)) == HTCLIENT) {
        POINT p{};
        GetCursorPos(&p);
        p = ScreenToClient(p);
        TControl* c = ControlAtPos(p);
        if (!c || c->FWindowed || c->Cursor() == crDefault) c = this;
        if (c->Cursor() != crDefault) {
          ::SetCursor(c->CursorHandle());
          m.Result = 1;
          return;
        }
      }
      break;
    case WM_WINDOWPOSCHANGED: {
      auto* wp = reinterpret_cast<WINDOWPOS*>(m.LParam);
      bool sized = false;
      if (wp) {
        if (!(wp->flags & SWP_NOMOVE)) {
          FLeft = wp->x;
          FTop = wp->y;
        }
        if (!(wp->flags & SWP_NOSIZE) && (wp->cx != FWidth || wp->cy != FHeight)) {
          FWidth = wp->cx;
          FHeight = wp->cy;
          sized = true;
        }
      }
      DefaultHandler(m);
      if (sized) Resize();
      return;
    }
    case WM_SETFOCUS:
      DefaultHandler(m);
      if (OnEnter) OnEnter(this);
      return;
    case WM_KILLFOCUS:
      DefaultHandler(m);
      if (OnExit) OnExit(this);
      return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      WORD key = static_cast<WORD>(m.WParam);
      char16_t none = 0;
      PreviewKey(this, m.Msg, key, none);
      if (key == 0) return;
      KeyDown(key, KeyboardShiftState());
      if (key == 0) return;
      m.WParam = key;
      break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      WORD key = static_cast<WORD>(m.WParam);
      char16_t none = 0;
      PreviewKey(this, m.Msg, key, none);
      if (key == 0) return;
      KeyUp(key, KeyboardShiftState());
      if (key == 0) return;
      m.WParam = key;
      break;
    }
    case WM_CHAR: {
      char16_t ch = static_cast<char16_t>(m.WParam);
      WORD none = 0;
      PreviewKey(this, m.Msg, none, ch);
      if (ch == 0) return;
      KeyPress(ch);
      if (ch == 0) return;
      m.WParam = ch;
      break;
    }
    case WM_NCDESTROY:
      DefaultHandler(m);
      FHandle = nullptr;
      return;
    default:
      if (m.Msg >= CM_BASE && m.Msg < CM_BASE + 0x100) return;
      break;
  }
  DefaultHandler(m);
}
