// The display behind the windowing layer. A driver shows finished pixels of
// top-level windows and feeds input and window-manager changes back; it
// knows nothing of messages. Calls come from the input thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/Types.h"

class TPlatformDriver {
 public:
  virtual ~TPlatformDriver() = default;
  virtual const char* Name() const = 0;
  virtual void ScreenSize(int* width, int* height) = 0;
  // Top-level windows only.
  virtual void WindowCreated(HWND) {}
  virtual void WindowDestroyed(HWND) {}
  virtual void WindowShown(HWND, bool shown) {}
  virtual void WindowMoved(HWND, const RECT& screenRect) {}
  virtual void WindowMinimized(HWND, bool minimized) {}
  // The program maximised or restored the window. True when a window
  // manager places a maximised window itself (in the work area): the
  // program takes that place without asking the display for it.
  virtual bool WindowMaximized(HWND, bool maximized) { return false; }
  // The smallest and largest sizes the window takes (0: no limit), for a
  // window manager that resizes it.
  virtual void WindowSizeLimits(HWND, SIZE minSize, SIZE maxSize) {}
  virtual void WindowTextChanged(HWND) {}
  // WM_SETICON changed what WindowIcons answers.
  virtual void WindowIconChanged(HWND) {}
  // Border, stay-on-top, taskbar, layered or click-through state changed.
  virtual void WindowStyleChanged(HWND) {}
  virtual void WindowActivated(HWND) {}
  // The caret of a window inside this top-level window stands at `caret`
  // (surface coordinates): an input method shows its text there.
  virtual void CaretMoved(HWND, const RECT& caret) {}
  // SetPopupWindow marked the window.
  virtual void WindowPopup(HWND) {}
  // The mouse capture moved (nullptr: released); a popup window that takes
  // it takes the display's pointer and keyboard with it.
  virtual void CaptureChanged(HWND) {}
  // The part of the screen that panels leave to windows; false when the
  // display does not say (the whole screen then).
  virtual bool WorkArea(RECT*) { return false; }
  // Shows the surface's pixels inside `rect` (window coordinates).
  virtual void Present(HWND, const RECT& rect) {}
  // A window shown but not on the display yet: waits, at most `timeoutMs`,
  // until pixels presented to it are seen.
  virtual void WaitUntilShown(HWND, int timeoutMs) {}
  // Hands a caption drag to the window manager; false when we must do it.
  virtual bool BeginMoveDrag(HWND, POINT cursor) { return false; }
  virtual void CursorChanged(int stockId) {}
  virtual void WarpPointer(int x, int y) {}
  // A descriptor to wait on for display events, or -1.
  virtual int EventFd() { return -1; }
  // Events already read from the connection and not handled yet: waiting on
  // the descriptor would sleep through them.
  virtual bool EventsQueued() { return false; }
  // Reads pending display events; returns whether any came.
  virtual bool Poll() { return false; }
  // Milliseconds until the driver wants a look of its own at the display
  // (a change it waits out), or -1: the loop polls no later than that.
  virtual int NextLookMs() { return -1; }
  // The display has news while a wait holds the input thread (a fade):
  // what cannot wait for the loop is taken now, the rest stays queued.
  virtual void TakeUrgentNews() {}
  // Another program's window in front, with its client rectangle on screen.
  virtual bool ForeignForeground(RECT* clientRect) { return false; }
  // The connection to the display is lost: nothing may be sent on it any
  // more. Driver() answers with a stand-in from then on (MakeLostDisplayDriver).
  virtual bool DisplayLost() const { return false; }
  // The clipboard's text; kept in the process unless the display shares it.
  virtual bool SetClipboardText(const std::u16string& text);
  virtual bool GetClipboardText(std::u16string* text);

 private:
  std::mutex FClipboardLock;
  std::u16string FClipboard;
  bool FHasClipboard = false;
};

TPlatformDriver& Driver();
// Makes a driver by name ("headless", "x11"); nullptr when it cannot start.
std::unique_ptr<TPlatformDriver> MakeHeadlessDriver();
std::unique_ptr<TPlatformDriver> MakeX11Driver(const std::string& display);
// What stands in for a driver whose display is lost: it shows nothing,
// reads no input and keeps the screen size the display had, so every later
// call of the program is harmless and the session ends in order.
std::unique_ptr<TPlatformDriver> MakeLostDisplayDriver(TPlatformDriver& lost);
