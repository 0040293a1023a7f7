// Window classes, windows, their procedures, positions and painting.
//
// Top-level windows (no WS_CHILD) each keep a 32-bit backing surface
// (platform/gdi/Surface.h) that the driver shows; child windows are our own
// objects painted into their top-level window's surface at their offset and
// clipped to their visible part. A top-level window's frame belongs to the
// window manager, so its client area is the whole window; a child window has
// a one-pixel frame with WS_BORDER and a two-pixel one with WS_EX_CLIENTEDGE.
// A bad or stale window handle is refused (0 / FALSE), never a crash.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Types.h"

// ---- Styles ------------------------------------------------------------------
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU;

constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
constexpr DWORD WS_EX_NOPARENTNOTIFY = 0x00000004;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;
constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr DWORD WS_EX_CONTROLPARENT = 0x00010000;
constexpr DWORD WS_EX_STATICEDGE = 0x00020000;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
constexpr DWORD WS_EX_LAYERED = 0x00080000;
constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;

// Class styles
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr UINT CS_OWNDC = 0x0020;
constexpr UINT CS_PARENTDC = 0x0080;
constexpr UINT CS_NOCLOSE = 0x0200;
constexpr UINT CS_SAVEBITS = 0x0800;
constexpr UINT CS_GLOBALCLASS = 0x4000;
constexpr UINT CS_DROPSHADOW = 0x00020000;

// ---- Classes -------------------------------------------------------------------
// Class names compare without regard to case. Registering a name twice fails.
ATOM RegisterClassA(const WNDCLASSA* wc);
ATOM RegisterClassExA(const WNDCLASSEXA* wc);
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
BOOL GetClassInfoA(HINSTANCE instance, const char* className, WNDCLASSA* wc);
BOOL GetClassInfoExA(HINSTANCE instance, const char* className, WNDCLASSEXA* wc);
int GetClassNameA(HWND hwnd, char* buffer, int size);

constexpr int GCL_STYLE = -26;
constexpr int GCLP_HBRBACKGROUND = -10;
constexpr int GCLP_HCURSOR = -12;
constexpr int GCLP_HICON = -14;
constexpr int GCLP_WNDPROC = -24;
// Class values of the window's class (shared by every window of the class).
ULONG_PTR GetClassLongPtrA(HWND hwnd, int index);
ULONG_PTR SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value);
inline DWORD GetClassLongA(HWND hwnd, int index) { return static_cast<DWORD>(GetClassLongPtrA(hwnd, index)); }

// ---- Creation and destruction ------------------------------------------------------
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);
// Parent for a message-only window: never shown, never enumerated.
inline HWND HWND_MESSAGE_() { return reinterpret_cast<HWND>(static_cast<intptr_t>(-3)); }
#define HWND_MESSAGE (HWND_MESSAGE_())

// Sends WM_GETMINMAXINFO (top-level), WM_NCCREATE, WM_NCCALCSIZE and WM_CREATE;
// a FALSE from WM_NCCREATE or -1 from WM_CREATE destroys the window and
// returns 0. A child needs a live parent; a popup's parent becomes its owner.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param);
inline HWND CreateWindowA(const char* className, const char* windowName, DWORD style, int x, int y, int width,
                          int height, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param) {
  return CreateWindowExA(0, className, windowName, style, x, y, width, height, parent, menuOrId, instance, param);
}
// WM_DESTROY goes to the window, then to its children and owned windows as
// they are destroyed; WM_NCDESTROY comes last, after the children's.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
// A hidden window for messages only (its class is the platform's own).
// `proc` receives every message; the caller frees it with DestroyWindow.
HWND CreateHelperWindow(WNDPROC proc);

// ---- Window values ----------------------------------------------------------------
constexpr int GWL_WNDPROC = -4;
constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_HINSTANCE = -6;
constexpr int GWLP_HWNDPARENT = -8;
constexpr int GWL_ID = -12;
constexpr int GWLP_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWL_USERDATA = -21;
constexpr int GWLP_USERDATA = -21;
// Values are pointer-wide so a procedure fits. Setting GWL_STYLE or
// GWL_EXSTYLE sends WM_STYLECHANGING and WM_STYLECHANGED; a non-negative index
// reads or writes the window's extra bytes (cbWndExtra). On failure 0.
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
inline LONG_PTR GetWindowLongA(HWND hwnd, int index) { return GetWindowLongPtrA(hwnd, index); }
inline LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value) { return SetWindowLongPtrA(hwnd, index, value); }
inline LONG_PTR GetWindowLong(HWND hwnd, int index) { return GetWindowLongPtrA(hwnd, index); }
inline LONG_PTR SetWindowLong(HWND hwnd, int index, LONG_PTR value) { return SetWindowLongPtrA(hwnd, index, value); }

// A procedure read with GetWindowLong(GWL_WNDPROC) may be a platform value that
// only CallWindowProc can call; always go through it.
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
inline LRESULT CallWindowProc(WNDPROC p, HWND h, UINT m, WPARAM w, LPARAM l) { return CallWindowProcA(p, h, m, w, l); }
// A window procedure bound to an object's method: the returned value works
// wherever a WNDPROC does (classes, GWL_WNDPROC, CallWindowProc) until freed.
using TWindowProcFunction = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
WNDPROC MakeObjectWindowProc(TWindowProcFunction function);
void FreeObjectWindowProc(WNDPROC proc);

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
inline LRESULT DefWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

// Text is UTF-8.
BOOL SetWindowTextA(HWND hwnd, const char* text);
int GetWindowTextA(HWND hwnd, char* buffer, int size);
int GetWindowTextLengthA(HWND hwnd);

// Named values kept with a window.
BOOL SetPropA(HWND hwnd, const char* name, HANDLE data);
HANDLE GetPropA(HWND hwnd, const char* name);
HANDLE RemovePropA(HWND hwnd, const char* name);

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);

// ---- Relations ------------------------------------------------------------------------
HWND GetParent(HWND hwnd);  // the parent of a child, the owner of a popup
HWND SetParent(HWND child, HWND newParent);
BOOL IsChild(HWND parent, HWND hwnd);
constexpr UINT GA_PARENT = 1;
constexpr UINT GA_ROOT = 2;
constexpr UINT GA_ROOTOWNER = 3;
HWND GetAncestor(HWND hwnd, UINT flags);
constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;  // the next one below in z-order
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_OWNER = 4;
constexpr UINT GW_CHILD = 5;  // the topmost child
HWND GetWindow(HWND hwnd, UINT cmd);
HWND GetTopWindow(HWND hwnd);
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);
BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam);
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam);
HWND FindWindowA(const char* className, const char* windowName);
HWND GetDesktopWindow();

// ---- Showing, position and state ----------------------------------------------------
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_NORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_MAXIMIZE = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;
constexpr int SW_SHOWDEFAULT = 10;
// Returns whether the window was visible before.
BOOL ShowWindow(HWND hwnd, int cmd);
BOOL IsWindowVisible(HWND hwnd);  // it and all its parents have WS_VISIBLE
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
// Returns whether the window was disabled before; disabling the focus
// window takes the focus away.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);

inline HWND HWND_TOP_() { return reinterpret_cast<HWND>(static_cast<intptr_t>(0)); }
inline HWND HWND_BOTTOM_() { return reinterpret_cast<HWND>(static_cast<intptr_t>(1)); }
inline HWND HWND_TOPMOST_() { return reinterpret_cast<HWND>(static_cast<intptr_t>(-1)); }
inline HWND HWND_NOTOPMOST_() { return reinterpret_cast<HWND>(static_cast<intptr_t>(-2)); }
#define HWND_TOP (HWND_TOP_())
#define HWND_BOTTOM (HWND_BOTTOM_())
#define HWND_TOPMOST (HWND_TOPMOST_())
#define HWND_NOTOPMOST (HWND_NOTOPMOST_())
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
constexpr UINT SWP_NOCOPYBITS = 0x0100;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;
constexpr UINT SWP_NOSENDCHANGING = 0x0400;
// Sends WM_WINDOWPOSCHANGING (the handler may change the WINDOWPOS) and,
// when the position, size, z-order, visibility or frame really changed,
// WM_WINDOWPOSCHANGED, whose default handling sends WM_MOVE and WM_SIZE.
// Positions of a child are in its parent's client coordinates.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL BringWindowToTop(HWND hwnd);
BOOL GetWindowRect(HWND hwnd, RECT* rect);  // screen coordinates
BOOL GetClientRect(HWND hwnd, RECT* rect);  // (0, 0, width, height) of the client area
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
// Maps points from one window's client coordinates to another's (0 = screen).
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
// The deepest visible, enabled window under a screen point.
HWND WindowFromPoint(POINT point);
constexpr UINT CWP_ALL = 0x0000;
constexpr UINT CWP_SKIPINVISIBLE = 0x0001;
constexpr UINT CWP_SKIPDISABLED = 0x0002;
constexpr UINT CWP_SKIPTRANSPARENT = 0x0004;
HWND ChildWindowFromPointEx(HWND parent, POINT clientPoint, UINT flags);
inline HWND ChildWindowFromPoint(HWND parent, POINT p) { return ChildWindowFromPointEx(parent, p, CWP_ALL); }

// ---- Activation and focus ------------------------------------------------------------
// The active window is a top-level window of ours; the focus is it or one of
// its descendants. WM_ACTIVATE's default handling gives the window the focus.
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
HWND SetFocus(HWND hwnd);  // sends WM_KILLFOCUS, then WM_SETFOCUS
HWND GetFocus();
// Activates the window and asks the display to raise it.
BOOL SetForegroundWindow(HWND hwnd);
// The window owned by `hwnd` (directly or through the windows it owns) that
// was active last and is still shown and enabled: where a click on `hwnd`
// leads while a dialog of it is up. `hwnd` itself when there is none, or
// when it was active since.
HWND GetLastActivePopup(HWND hwnd);
// Our active window, or another program's window in front (a handle for which
// GetClientRect and GetWindowRect answer); 0 when none.
HWND GetForegroundWindow();

// ---- Invalidation and painting ----------------------------------------------------------
// A window's invalid area is kept as one rectangle. WM_PAINT comes from the
// loop only while it is not empty and the window is visible; invalidating a
// window also invalidates its children and the siblings above it there.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);  // hwnd 0: every window
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
// Sends WM_PAINT at once to the window and then its children when invalid.
BOOL UpdateWindow(HWND hwnd);
constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_INTERNALPAINT = 0x0002;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_VALIDATE = 0x0008;
constexpr UINT RDW_NOINTERNALPAINT = 0x0010;
constexpr UINT RDW_NOERASE = 0x0020;
constexpr UINT RDW_NOCHILDREN = 0x0040;
constexpr UINT RDW_ALLCHILDREN = 0x0080;
constexpr UINT RDW_UPDATENOW = 0x0100;
constexpr UINT RDW_ERASENOW = 0x0200;
constexpr UINT RDW_FRAME = 0x0400;
constexpr UINT RDW_NOFRAME = 0x0800;
BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags);
// BeginPaint sends WM_ERASEBKGND when the area was invalidated with erase,
// validates the window and returns a DC clipped to the invalid rectangle.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
// A DC on the client area (GetDC) or the whole window (GetWindowDC);
// GetDC(0) is a DC on the screen. Release with ReleaseDC.
HDC GetDC(HWND hwnd);
HDC GetWindowDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
// Copies a window's pixels as they are on its top-level surface (client area
// for `clientOnly`, else the whole window), rows top-down, BGRA. Empty on a
// bad handle. A layered window's pixels are its premultiplied image.
bool ReadWindowPixels(HWND hwnd, bool clientOnly, int* width, int* height, std::vector<uint32_t>* pixels);
