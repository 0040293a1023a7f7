// Inner state of the windowing layer, shared by its sources and the drivers.
// Not for callers above the platform.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/HandleTable.h"
#include "platform/Messages.h"
#include "platform/Types.h"
#include "platform/Window.h"
#include "platform/gdi/Surface.h"

namespace hkwin {

struct TWindowClass {
  std::string Name;
  UINT Style = 0;
  WNDPROC Proc = nullptr;
  int ClsExtra = 0;
  int WndExtra = 0;
  HINSTANCE Instance = nullptr;
  HICON Icon = nullptr;
  HICON IconSm = nullptr;
  HCURSOR Cursor = nullptr;
  HBRUSH Background = nullptr;
  ATOM Atom = 0;
};
using PWindowClass = std::shared_ptr<TWindowClass>;

struct TWindow {
  HWND Handle = nullptr;
  PWindowClass Class;
  WNDPROC Proc = nullptr;
  std::string Text;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  HWND Parent = nullptr;  // the parent of a child window
  HWND Owner = nullptr;   // the owner of a top-level window
  std::vector<HWND> Children;  // bottom to top
  RECT Rect{};         // window rectangle: parent client coordinates (child) or screen (top-level)
  RECT Insets{};       // frame widths: client = Rect shrunk by these
  LONG_PTR Id = 0;
  LONG_PTR UserData = 0;
  HINSTANCE Instance = nullptr;
  std::vector<uint8_t> Extra;
  std::map<std::string, HANDLE> Props;
  DWORD ThreadId = 0;
  bool MessageOnly = false;
  bool Foreign = false;  // another program's window (GetForegroundWindow)
  bool Created = false;  // WM_CREATE has run
  bool Destroying = false;

  // Invalid area of the client, in client coordinates.
  bool HasUpdate = false;
  RECT Update{};
  bool Erase = false;
  bool NcPaint = false;

  RECT RestoreRect{};  // position before minimize or maximize
  bool MinimizedFromMaximized = false;

  PSurface Surface;  // top-level windows only
  bool Dirty = false;
  RECT DirtyRect{};

  // Layered state (WS_EX_LAYERED top-level windows).
  bool LayeredImage = false;  // holds an UpdateLayeredWindow image (no WM_PAINT)
  BYTE LayeredAlpha = 255;
  DWORD LayeredFlags = 0;
  COLORREF LayeredKey = 0;

  // Shown the last time without being activated (SW_SHOWNOACTIVATE,
  // SW_SHOWNA, SetWindowPos): the desktop must not give it the keyboard.
  bool QuietShow = false;
  // A popup menu or drop-down list (SetPopupWindow).
  bool Popup = false;
  // When it was last activated, counted in activations (0: never).
  uint64_t ActivatedAt = 0;

  // WM_SETICON; the class's icons stand in for those not set.
  HICON IconBig = nullptr;
  HICON IconSmall = nullptr;
};
using PWindow = std::shared_ptr<TWindow>;

HandleTable<HWND, TWindow>& Windows();
PWindow Find(HWND hwnd);
// Top-level windows, bottom to top (message-only windows are not in it).
std::vector<HWND>& TopLevels();
// Guards the window tree (children lists, z-order, the tables of classes).
std::recursive_mutex& TreeLock();

PWindowClass FindClass(const std::string& name);
bool IsTopLevel(const TWindow& w);
// The icons a window shows (the desktop's window list, its taskbar): the
// big one first, then the small one, each falling back to the class's.
std::vector<HICON> WindowIcons(HWND hwnd);
HWND Root(HWND hwnd);

// Geometry.
RECT ClientRectInParent(const TWindow& w);  // client area in the parent's client coordinates (screen for top-level)
POINT ClientOriginOnScreen(const TWindow& w);
POINT WindowOriginOnScreen(const TWindow& w);
// Offset of the window's client (or whole window) origin on its top-level surface.
POINT SurfaceOffset(const TWindow& w, bool client);
// The visible part of the window's client (or whole window) on its top-level surface.
RECT VisibleSurfaceRect(const TWindow& w, bool client);
bool IsVisibleChain(const TWindow& w);
RECT ComputeInsets(DWORD style, DWORD exStyle, bool topLevel);
// Sizes are cut to what a surface can hold: 8192 for a top-level window
// (its surface is that big), 32767 for a child (the range of LPARAM points).
int ClampSize(int size, bool topLevel);
// Resizes a surface; one too big for memory becomes empty instead of failing.
void ResizeSurface(TSurface& surface, int width, int height);

// Calls a window procedure (a pointer, or a platform value from MakeObjectWindowProc).
LRESULT CallProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Painting.
void InvalidateInternal(HWND hwnd, const RECT* clientRect, bool erase, bool children);
void InvalidateParentArea(const TWindow& w, const RECT& rectInParent);
void MarkDirty(HWND root, const RECT& surfaceRect);
void PresentDirty();
// Finds a window of this thread that needs WM_PAINT (parents before children).
HWND FindPaintWindow(DWORD threadId, HWND filter);

// Queues.
struct TThreadQueue;
struct TSentMessage {
  std::shared_ptr<TThreadQueue> Sender;
  HWND Hwnd;
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result = 0;
  bool Done = false;
};
struct TThreadQueue {
  DWORD ThreadId = 0;
  std::mutex Lock;
  std::deque<MSG> Posted;
  std::deque<std::shared_ptr<TSentMessage>> Sent;
  std::condition_variable Replied;  // a sent message of this thread's was answered
  bool QuitPosted = false;
  int QuitCode = 0;
  int WakeFd = -1;
  std::atomic<bool> PaintHint{false};  // some window may need WM_PAINT
  // Counts everything put in (posts, sends, quit); the owning thread notes
  // the count at which it last found the queue empty and skips the locks
  // while it is unchanged.
  std::atomic<uint32_t> Stamp{0};
  uint32_t EmptyStamp = UINT32_MAX;
  // Set while the owner sleeps in poll(): only then does a wake-up need the
  // descriptor written.
  std::atomic<bool> Waiting{false};
  DWORD LastTime = 0;
  POINT LastPos{};
  int InSend = 0;
  // Text of key presses for TranslateMessage, by MSG::lPrivate.
  std::vector<std::u16string> KeyTexts = std::vector<std::u16string>(64);
  DWORD NextKeyText = 0;
  ~TThreadQueue();
};
using PThreadQueue = std::shared_ptr<TThreadQueue>;
PThreadQueue QueueOf(DWORD threadId);  // nullptr when the thread has none
PThreadQueue CurrentQueue();           // made on first use
TThreadQueue& CurrentQueueRef();
void WakeQueue(TThreadQueue& q);
void WakeAllQueues();
void PostToQueue(TThreadQueue& q, const MSG& msg);
bool PostInternal(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, DWORD lPrivate = 0);
DWORD StoreKeyText(TThreadQueue& q, const std::u16string& text);

// The thread that reads the display and turns raw input into messages.
DWORD InputThread();
void SetInputThread(DWORD threadId);
// Converts one raw input event into messages; false when none is queued.
bool ProcessOneRawInput();
bool RawInputPending();
// The pointer is somewhere that is none of our windows (the tray): only its position.
void SetCursorPosition(int x, int y);
void ClearInputState();
void ForgetWindowInInput(HWND hwnd);
// Timers.
bool TakeDueTimer(DWORD threadId, HWND filter, bool remove, MSG* msg, uint64_t now);
// Monotonic milliseconds, whichever clock the platform shows.
uint64_t RealNowMs();
uint64_t NextTimerDue(DWORD threadId);  // UINT64_MAX when none
void KillWindowTimers(HWND hwnd);
void KillAllTimers();
bool TakeHover(DWORD threadId, MSG* msg, bool remove);
uint64_t HoverDue(DWORD threadId);  // UINT64_MAX when none
void ResetClockForTests();

// Activation and focus kept by the system.
HWND ActiveWindow();
HWND FocusWindow();
void ActivateInternal(HWND root, WORD how, bool fromDriver);
void ForgetWindowInFocus(HWND hwnd);
void ResetFocusState();
// The window standing for another program in front, with its client
// rectangle (nullptr: there is none, and the handle goes).
HWND ForeignWindow(const RECT* clientRect);

// Move drags done by us (headless, or a display without a window manager).
void BeginEmulatedMove(HWND root, POINT cursor);
bool EmulatedMoveActive();

// Position changes: `fromDriver` when the display already has them.
BOOL SetWindowPosInternal(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags, bool fromDriver);
void SetMinimizedFromDriver(HWND hwnd, bool minimized);
// The window manager maximised the window (or restored it) by itself;
// `normal` is where it was before a maximise.
void SetMaximizedFromDriver(HWND hwnd, bool maximized, const RECT& normal);

void DestroyAllWindows();
// DestroyWindow without the owning-thread check (tests' clean-up).
BOOL DestroyWindowOnAnyThread(HWND hwnd);
bool ReplaceDriver(std::unique_ptr<class TPlatformDriver> driver);
bool SetHeadlessScreenSize(int width, int height);
// Another program's window in front on the headless display (nullptr: none).
bool SetHeadlessForeignForeground(const RECT* clientRect);
// The work area of the headless display (nullptr: the whole screen).
bool SetHeadlessWorkArea(const RECT* area);
void ResetQueues();
DWORD NowTick();

}  // namespace hkwin
