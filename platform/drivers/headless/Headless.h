// The test interface of the platform: input injected as if from the
// display, the virtual clock, pixels read back and the loop run until idle.
// Injected input works with either driver (it enters the same input queue
// the display feeds); coordinates are screen pixels.
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

enum class THeadlessButton { Left, Right, Middle };

// Moves the pointer (a WM_MOUSEMOVE or WM_NCMOUSEMOVE to the window under
// it, or to the capture window).
void HeadlessMouseMove(int x, int y);
void HeadlessMouseDown(THeadlessButton button);
void HeadlessMouseUp(THeadlessButton button);
// Move, press and release.
void HeadlessClick(int x, int y, THeadlessButton button = THeadlessButton::Left);
// One wheel notch is 120; positive turns away from the user.
void HeadlessMouseWheel(int delta);
// The pointer leaves all of our windows (it went to another program).
void HeadlessMouseLeaveScreen();
// A key by virtual-key code, with its US-layout text for TranslateMessage.
void HeadlessKeyDown(int vk);
void HeadlessKeyUp(int vk);
void HeadlessKeyPress(int vk);  // down and up
// Text as an input method commits it: WM_CHAR per UTF-16 unit to the focus.
void HeadlessChars(const std::u16string& text);

// Runs the calling thread's loop until nothing is pending (sent, posted,
// input, paint and due timers on the clock as it stands); WM_QUIT is
// left in the queue. Returns the number of messages dispatched.
int HeadlessPumpMessages();
// Advances the virtual clock by `ms` and pumps, in steps so that timers
// fire at their due times in order.
void HeadlessAdvance(uint32_t ms);

// The pixels of a window's client area (BGRA, top-down). Empty on a bad handle.
std::vector<uint32_t> HeadlessReadPixels(HWND hwnd, int* width = nullptr, int* height = nullptr);
uint32_t HeadlessPixel(HWND hwnd, int x, int y);  // client coordinates; 0 outside

// The screen size the headless display reports (before any window exists).
void HeadlessSetScreenSize(int width, int height);
// Another program's window in front (GetForegroundWindow answers it), with
// this client rectangle in screen coordinates; an empty rectangle removes it.
void HeadlessSetForeignForeground(const RECT& clientRect);
// The work area, as panels at the screen's edges leave it; an empty
// rectangle gives the whole screen again (as every test starts).
void HeadlessSetWorkArea(const RECT& area);
// Takes the notification area away (its icons go with it) or brings one
// back ("TaskbarCreated" is broadcast). Headless runs start with one.
void HeadlessSetNotificationArea(bool present);

// Chooses the driver before any window exists: "headless" or "x11" (with the
// display name, or the DISPLAY variable when empty). False when it cannot be
// used; the driver in use is then unchanged.
bool SelectPlatformDriver(const std::string& name, const std::string& display = "");
// "headless" or "x11".
std::string PlatformDriverName();
// Destroys every window and timer, clears input state, capture, focus and
// the queues, and sets the virtual clock back; between tests of one process.
void ResetPlatformForTests();
