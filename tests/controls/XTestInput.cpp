#include "XTestInput.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {
Display* gProbe = nullptr;
int gLock = -1;
}  // namespace

bool XTestOpen(const std::string& display) {
  std::string name = "/tmp/hanakumo-xtest-" + display.substr(display.find(':') + 1) + ".lock";
  gLock = open(name.c_str(), O_RDWR | O_CREAT, 0666);
  if (gLock >= 0) flock(gLock, LOCK_EX);
  gProbe = XOpenDisplay(display.c_str());
  return gProbe != nullptr;
}

void XTestClose() {
  if (gProbe) XCloseDisplay(gProbe);
  gProbe = nullptr;
  if (gLock >= 0) close(gLock);  // releases the lock
  gLock = -1;
}

void XTestMove(int x, int y) {
  XTestFakeMotionEvent(gProbe, DefaultScreen(gProbe), x, y, CurrentTime);
  XFlush(gProbe);
}

void XTestType(const std::string& keys) {
  for (char c : keys) {
    KeySym sym = c == '\b' ? XK_BackSpace : static_cast<KeySym>(XK_a + (c - 'a'));
    KeyCode code = XKeysymToKeycode(gProbe, sym);
    XTestFakeKeyEvent(gProbe, code, True, CurrentTime);
    XTestFakeKeyEvent(gProbe, code, False, CurrentTime);
  }
  XFlush(gProbe);
}

void XTestClick(int x, int y) {
  XTestFakeMotionEvent(gProbe, DefaultScreen(gProbe), x, y, CurrentTime);
  XTestFakeButtonEvent(gProbe, 1, True, CurrentTime);
  XTestFakeButtonEvent(gProbe, 1, False, CurrentTime);
  XFlush(gProbe);
}
