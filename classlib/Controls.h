// Controls: TControl (bounds, anchors, alignment, mouse, painting through
// its parent), TGraphicControl (drawn on its parent's window) and
// TWinControl (a platform window of its own, with child controls).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Components.h"
#include "classlib/Graphics.h"
#include "platform/Windows.h"

// A window message as the controls pass it on.
struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

// The class library's own messages.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 11;
constexpr UINT CM_COLORCHANGED = CM_BASE + 12;
constexpr UINT CM_FONTCHANGED = CM_BASE + 13;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 22;
constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 27;
constexpr UINT CM_HINTSHOW = CM_BASE + 48;
constexpr UINT CM_RELEASE = CM_BASE + 33;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = uint8_t;
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = uint8_t;

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crNo = -18;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, WORD& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char16_t& key)>;
using TMessageHandler = std::function<void(TMessage& message)>;

class TWinControl;
class TControlCanvas;

// Minimum and maximum sizes; 0 is no limit.
class TSizeConstraints : public TPersistent {
 public:
  int MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
  void Assign(const TPersistent* source) override;
  // Brings a size within the limits.
  void Apply(int& width, int& height) const;
  TNotifyEvent OnChange;
  void Changed() {
    if (OnChange) OnChange(this);
  }
};

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* parent);
  // A control inside another in a form resource: only a windowed control
  // holds others.
  void SetParentComponent(TComponent* parent) override;

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.left, r.top, r.Width(), r.Height()); }
  virtual TRect ClientRect() const { return Rect(0, 0, FWidth, FHeight); }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  virtual void SetClientSize(int width, int height);
  void SetClientWidth(int v) { SetClientSize(v, ClientHeight()); }
  void SetClientHeight(int v) { SetClientSize(ClientWidth(), v); }
  // Client point to the parent's client coordinates, and to the screen.
  POINT ClientToParent(POINT p) const { return {p.x + FLeft, p.y + FTop}; }
  virtual POINT ClientToScreen(POINT p) const;
  virtual POINT ScreenToClient(POINT p) const;

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign align);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors anchors);
  TSizeConstraints& Constraints() { return FConstraints; }

  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and every parent up to a form too.
  bool Showing() const;
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool enabled);
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor cursor);
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& hint) { FHint = hint; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool value);
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool value);
  TFont& Font() { return *FFont; }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool value);
  TColor Color() const { return FColor; }
  void SetColor(TColor color);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool value);
  // UTF-8; a label's or form's caption, an edit's text.
  const std::string& Caption() const { return FText; }
  void SetCaption(const std::string& text) { SetText(text); }
  const std::string& Text() const { return FText; }
  virtual void SetText(const std::string& text);

  // Sends a message through WndProc and answers its result.
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  // Handles a message: a handler set for its number runs, else Dispatch.
  virtual void WndProc(TMessage& message);
  // The class's own handling of a message (what a handler's "inherited" runs).
  virtual void Dispatch(TMessage& message);
  // A handler for one message number, in place of the class's own handling;
  // it may call Dispatch to run that too.
  void SetMessageHandler(UINT msg, TMessageHandler handler);

  virtual void Invalidate();
  virtual void Update();
  void Repaint();
  void Refresh() { Repaint(); }
  void BringToFront();
  void SendToBack();

  // Called by the parent for mouse input inside the control (client coordinates).
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void Click();
  virtual void DblClick();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnResize;

  bool IsWindowed() const { return FWindowed; }

 protected:
  friend class TWinControl;
  virtual void Resize();
  virtual void ParentFontChanged();
  virtual void FontChanged();
  virtual void ColorChanged() { Invalidate(); }
  virtual void TextChanged() { Invalidate(); }
  void UpdateAnchorRules();
  // Destructors call it before the window goes: the handlers of a derived
  // class must not run once that class is gone.
  void ClearMessageHandlers() { FMessageHandlers.clear(); }
  // Mouse messages arrive here already in client coordinates.
  void HandleMouse(TMessage& m);
  virtual HCURSOR CursorHandle() const;

  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  bool FWindowed = false;
  bool FClicked = false;

 private:
  TWinControl* FParent = nullptr;
  TAlign FAlign = alNone;
  TAnchors FAnchors = akLeft | akTop;
  TSizeConstraints FConstraints;
  bool FVisible = true, FEnabled = true;
  TCursor FCursor = crDefault;
  std::string FHint;
  bool FShowHint = false, FParentShowHint = true;
  std::unique_ptr<TFont> FFont;
  bool FParentFont = true;
  TColor FColor = clBtnFace;
  bool FParentColor = false;
  std::string FText;
  std::map<UINT, TMessageHandler> FMessageHandlers;
  // Bounds and the parent's client size when the anchors were last taken.
  TRect FAnchorOrigin;
  SIZE FAnchorParentSize{0, 0};
  bool FAnchoring = false;
  bool FFontChanging = false;
};

// A canvas on a control: a window DC while it paints, else one it asks for.
class TControlCanvas : public TCanvas {
 public:
  explicit TControlCanvas(TControl* control) : FControl(control) {}
  ~TControlCanvas() override;
  // Drops the DC this canvas asked for itself.
  void FreeHandle();
  // Runs paint with the canvas on dc (a paint's DC), locked, in the
  // control's font; the canvas lets go of dc after, also on error.
  void PaintOn(HDC dc, const std::function<void()>& paint);

 protected:
  void CreateHandle() override;

 private:
  TControl* FControl;
  HDC FDC = nullptr;
  HWND FWnd = nullptr;
};

// Drawn by its parent window: Paint runs with Canvas on the parent's DC,
// its origin at the control's corner and clipped to it.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  TCanvas& Canvas() { return *FCanvas; }
  // Draws the control with its parent's DC (used by the parent).
  void PaintTo(HDC dc);

 protected:
  virtual void Paint() {}

 private:
  std::unique_ptr<TControlCanvas> FCanvas;
};

struct TCreateParams {
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  void* Param = nullptr;
  WNDCLASSA WindowClass{};
  std::string WinClassName;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // The window, made on first use (its parent's first).
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded() { Handle(); }
  void DestroyHandle();

  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int index) const;
  // The topmost visible, enabled child control (graphic or windowed) at a
  // client point, or nullptr.
  TControl* ControlAtPos(POINT p, bool allowDisabled = false) const;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  // Lays out aligned and anchored children in the client area.
  void Realign();

  TRect ClientRect() const override;
  void SetBounds(int left, int top, int width, int height) override;
  POINT ClientToScreen(POINT p) const override;
  POINT ScreenToClient(POINT p) const override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void SetText(const std::string& text) override;
  void Invalidate() override;
  void Update() override;

  bool Focused();
  virtual bool CanFocus();
  virtual void SetFocus();
  int TabOrder() const { return FTabOrder; }
  void SetTabOrder(int order) { FTabOrder = order; }
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool value) { FTabStop = value; }
  TBrush& Brush() { return FBrush; }

  void Dispatch(TMessage& message) override;

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

 protected:
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void DestroyWnd();
  // Fills the background of a paint; 1 in Result when done.
  virtual void EraseBackground(HDC dc);
  // Paints the window itself, then PaintControls draws the graphic children.
  virtual void PaintWindow(HDC dc) {}
  void PaintControls(HDC dc);
  virtual void AlignControls(TRect& rect);
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyUp(WORD& key, TShiftState shift);
  virtual void KeyPress(char16_t& key);
  // The default handling of what this class does not handle.
  void DefaultHandler(TMessage& message);
  void ColorChanged() override;
  void Resize() override;
  bool FCreatingHandle = false;

 private:
  static LRESULT InitWndProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l);
  void WMPaint(TMessage& m);
  void WMMouse(TMessage& m);
  void ApplyAnchors();
  HWND FHandle = nullptr;
  WNDPROC FObjectProc = nullptr;
  WNDPROC FDefWndProc = nullptr;
  std::vector<TControl*> FControls;
  TControl* FMouseCapture = nullptr;
  int FTabOrder = 0;
  bool FTabStop = false;
  TBrush FBrush;
  bool FTrackingLeave = false;
  bool FAligning = false;

  friend class TControl;
};

// The platform's stock cursor for a cursor number (the arrow for crDefault).
HCURSOR CursorHandleOf(TCursor cursor);

// The shift state from a mouse message's key flags.
TShiftState MouseShiftState(WPARAM keys);
// The shift state of the keyboard now.
TShiftState KeyboardShiftState();
