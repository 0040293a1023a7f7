// Other programs' clients that the tests run beside ours, each on a
// connection and a thread of its own: a window that raises itself whenever
// it is covered (as notifications and screen lockers do), a client that
// restacks a window as fast as the server lets it, and a client that counts
// what the root's children do.
#pragma once

#include <poll.h>

#include <atomic>
#include <string>
#include <thread>

#include <X11/Xlib.h>

namespace hktest {

// Runs `step` on its own connection until stopped; `step` returns false to
// wait a little for events.
class TOtherClient {
 public:
  TOtherClient(const TOtherClient&) = delete;
  TOtherClient& operator=(const TOtherClient&) = delete;
  virtual ~TOtherClient() { Stop(); }
  bool Connected() const { return FD != nullptr; }
  // Ends the thread and closes the connection.
  void Stop() {
    FStop = true;
    if (FThread.joinable()) FThread.join();
    if (FD != nullptr) XCloseDisplay(FD);
    FD = nullptr;
  }

 protected:
  // A server that ends under the client stops it, as it would stop any
  // program, but leaves the test running.
  explicit TOtherClient(const std::string& display) : FD(XOpenDisplay(display.c_str())) {
    if (FD == nullptr) return;
    XSetIOErrorHandler([](Display*) { return 0; });
    XSetIOErrorExitHandler(
        FD, [](Display*, void* self) { static_cast<TOtherClient*>(self)->FServerGone = true; }, this);
  }
  void Run() {
    if (FD == nullptr) return;
    FThread = std::thread([this] {
      while (!FStop && !FServerGone) {
        if (!Step(FD)) {
          pollfd fd{ConnectionNumber(FD), POLLIN, 0};
          ::poll(&fd, 1, 10);
        }
      }
      // Xlib keeps a connection that failed locked to the thread that met
      // the failure: only that thread may free it.
      if (FServerGone) {
        XCloseDisplay(FD);
        FD = nullptr;
      }
    });
  }
  virtual bool Step(Display* d) = 0;
  Display* FD;

 private:
  std::atomic<bool> FStop{false}, FServerGone{false};
  std::thread FThread;
};

// A window that raises itself whenever another window covers part of it:
// override-redirect (a notification), or an ordinary one that insists on
// being on top.
class TSelfRaiser : public TOtherClient {
 public:
  TSelfRaiser(const std::string& display, int x, int y, int w, int h, unsigned long colour,
              bool overrideRedirect = true)
      : TOtherClient(display) {
    if (FD == nullptr) return;
    XSetWindowAttributes a{};
    a.override_redirect = overrideRedirect ? True : False;
    a.background_pixel = colour;
    a.event_mask = VisibilityChangeMask;
    Xid = XCreateWindow(FD, DefaultRootWindow(FD), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                        CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel | CWEventMask, &a);
    XStoreName(FD, Xid, "Self raiser");
    XMapRaised(FD, Xid);
    XSync(FD, False);
    Run();
  }
  ~TSelfRaiser() override { Stop(); }
  Window Xid = 0;
  std::atomic<int> Raises{0};

 private:
  bool Step(Display* d) override {
    if (XPending(d) == 0) return false;
    XEvent ev;
    XNextEvent(d, &ev);
    if (ev.type == VisibilityNotify && ev.xvisibility.state != VisibilityUnobscured) {
      XRaiseWindow(d, Xid);
      XFlush(d);
      ++Raises;
    }
    return true;
  }
};

// A managed-looking (not override-redirect) window of another program,
// raised and lowered thousands of times a second: every client that watches
// the root hears of each restack.
class TRestackFlood : public TOtherClient {
 public:
  TRestackFlood(const std::string& display, int x, int y) : TOtherClient(display) {
    if (FD == nullptr) return;
    Xid = XCreateSimpleWindow(FD, DefaultRootWindow(FD), x, y, 40, 40, 0, 0, 0x4080c0);
    XStoreName(FD, Xid, "Restacked");
    XMapRaised(FD, Xid);
    XSync(FD, False);
    Run();
  }
  ~TRestackFlood() override { Stop(); }
  Window Xid = 0;
  std::atomic<long> Restacks{0};

 private:
  bool Step(Display* d) override {
    for (int i = 0; i < 100; ++i) {
      if (i % 2 == 0) XRaiseWindow(d, Xid);
      else XLowerWindow(d, Xid);
    }
    XSync(d, False);
    Restacks += 100;
    return true;
  }
};

// Counts the ConfigureNotify of the root's children (of one of them, once
// `Only` is set), as any client watching the root (a pager, a compositor)
// receives them.
class TRootWatcher : public TOtherClient {
 public:
  explicit TRootWatcher(const std::string& display) : TOtherClient(display) {
    if (FD == nullptr) return;
    XSelectInput(FD, DefaultRootWindow(FD), SubstructureNotifyMask);
    XSync(FD, False);
    Run();
  }
  ~TRootWatcher() override { Stop(); }
  std::atomic<long> Configures{0};
  std::atomic<Window> Only{0};

 private:
  bool Step(Display* d) override {
    if (XPending(d) == 0) return false;
    while (XPending(d) > 0) {
      XEvent ev;
      XNextEvent(d, &ev);
      if (ev.type == ConfigureNotify && (Only == 0 || ev.xconfigure.window == Only)) ++Configures;
    }
    return true;
  }
};

}  // namespace hktest
