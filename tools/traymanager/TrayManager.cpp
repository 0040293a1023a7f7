// A small desktop for running the card program on a bare X server (Xvfb):
// a freedesktop system tray (it owns _NET_SYSTEM_TRAY_S0 and docks icons
// by XEmbed into a panel along the bottom of the screen) and a desktop
// background. It tells what it does on standard output, one line per event
// ("ready", "docked 0x..."), and runs until it gets SIGTERM or SIGINT.
//
//   hk_tray_manager [--desktop dark|light]
//   hk_tray_manager --compose WINDOW OUT.ppm
//
// --compose saves the screen as a user would see it: X without a compositor
// shows a 32-bit window's colours as they are, so the window's own
// premultiplied pixels are blended over what lies beneath it here.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

constexpr int kPanelHeight = 28;
constexpr int kIconSize = 24;
constexpr long kDockRequest = 0;
constexpr long kXembedEmbeddedNotify = 0;

struct TColors {
  unsigned long Top, Bottom, Panel;
};

unsigned long Mix(unsigned long a, unsigned long b, int i, int n) {
  auto ch = [&](int shift) {
    long x = static_cast<long>((a >> shift) & 0xFF), y = static_cast<long>((b >> shift) & 0xFF);
    return static_cast<unsigned long>(x + (y - x) * i / (n > 0 ? n : 1)) << shift;
  };
  return ch(16) | ch(8) | ch(0);
}

// A vertical gradient as the root window's background.
void PaintDesktop(Display* d, int screen, const TColors& c) {
  Window root = RootWindow(d, screen);
  const int w = DisplayWidth(d, screen), h = DisplayHeight(d, screen);
  Pixmap pm = XCreatePixmap(d, root, static_cast<unsigned>(w), static_cast<unsigned>(h),
                            static_cast<unsigned>(DefaultDepth(d, screen)));
  GC gc = XCreateGC(d, pm, 0, nullptr);
  for (int y = 0; y < h; ++y) {
    XSetForeground(d, gc, Mix(c.Top, c.Bottom, y, h - 1));
    XDrawLine(d, pm, gc, 0, y, w - 1, y);
  }
  XFreeGC(d, gc);
  XSetWindowBackgroundPixmap(d, root, pm);
  XClearWindow(d, root);
  XFreePixmap(d, pm);
}

int RunTray(const std::string& desktop) {
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) {
    std::fprintf(stderr, "hk_tray_manager: cannot open the display\n");
    return 1;
  }
  const int screen = DefaultScreen(d);
  Window root = RootWindow(d, screen);
  const TColors colors = desktop == "light" ? TColors{0xDCE6F0, 0xF4F6F8, 0xC8CCD2}
                                            : TColors{0x1E3C64, 0x3A6EA5, 0x202428};
  PaintDesktop(d, screen, colors);
  const int sw = DisplayWidth(d, screen), sh = DisplayHeight(d, screen);
  XSetWindowAttributes a{};
  a.background_pixel = colors.Panel;
  a.override_redirect = True;
  a.event_mask = SubstructureNotifyMask;
  Window panel = XCreateWindow(d, root, 0, sh - kPanelHeight, static_cast<unsigned>(sw), kPanelHeight, 0,
                               CopyFromParent, InputOutput, CopyFromParent,
                               CWBackPixel | CWOverrideRedirect | CWEventMask, &a);
  XMapWindow(d, panel);
  Atom selection = XInternAtom(d, "_NET_SYSTEM_TRAY_S0", False);
  Atom opcode = XInternAtom(d, "_NET_SYSTEM_TRAY_OPCODE", False);
  Atom xembed = XInternAtom(d, "_XEMBED", False);
  XSetSelectionOwner(d, selection, panel, CurrentTime);
  if (XGetSelectionOwner(d, selection) != panel) {
    std::fprintf(stderr, "hk_tray_manager: another tray owns the selection\n");
    return 1;
  }
  XEvent m{};
  m.xclient.type = ClientMessage;
  m.xclient.window = root;
  m.xclient.message_type = XInternAtom(d, "MANAGER", False);
  m.xclient.format = 32;
  m.xclient.data.l[0] = CurrentTime;
  m.xclient.data.l[1] = static_cast<long>(selection);
  m.xclient.data.l[2] = static_cast<long>(panel);
  XSendEvent(d, root, False, StructureNotifyMask, &m);
  XFlush(d);
  std::printf("ready 0x%lx\n", panel);
  std::fflush(stdout);

  std::vector<Window> icons;
  auto layout = [&] {
    int x = sw - 4;
    for (Window icon : icons) {
      x -= kIconSize + 4;
      XMoveResizeWindow(d, icon, x, (kPanelHeight - kIconSize) / 2, kIconSize, kIconSize);
    }
  };
  pollfd fd{ConnectionNumber(d), POLLIN, 0};
  while (!gStop) {
    while (XPending(d) > 0) {
      XEvent ev;
      XNextEvent(d, &ev);
      if (ev.type == ClientMessage && ev.xclient.message_type == opcode && ev.xclient.data.l[1] == kDockRequest) {
        Window icon = static_cast<Window>(ev.xclient.data.l[2]);
        XSelectInput(d, icon, StructureNotifyMask);
        XReparentWindow(d, icon, panel, 0, 0);
        icons.push_back(icon);
        layout();
        XMapRaised(d, icon);
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = icon;
        e.xclient.message_type = xembed;
        e.xclient.format = 32;
        e.xclient.data.l[0] = CurrentTime;
        e.xclient.data.l[1] = kXembedEmbeddedNotify;
        e.xclient.data.l[3] = static_cast<long>(panel);
        XSendEvent(d, icon, False, NoEventMask, &e);
        XFlush(d);
        std::printf("docked 0x%lx\n", icon);
        std::fflush(stdout);
      } else if (ev.type == DestroyNotify || (ev.type == ReparentNotify && ev.xreparent.parent != panel)) {
        Window gone = ev.type == DestroyNotify ? ev.xdestroywindow.window : ev.xreparent.window;
        for (size_t i = 0; i < icons.size(); ++i)
          if (icons[i] == gone) {
            icons.erase(icons.begin() + static_cast<long>(i));
            std::printf("undocked 0x%lx\n", gone);
            std::fflush(stdout);
            layout();
            break;
          }
      }
    }
    poll(&fd, 1, 100);
  }
  XCloseDisplay(d);
  return 0;
}

int Compose(const char* windowText, const char* out) {
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) {
    std::fprintf(stderr, "hk_tray_manager: cannot open the display\n");
    return 1;
  }
  const int screen = DefaultScreen(d);
  Window root = RootWindow(d, screen);
  Window win = static_cast<Window>(std::strtoul(windowText, nullptr, 0));
  XWindowAttributes wa{};
  if (win == 0 || !XGetWindowAttributes(d, win, &wa)) {
    std::fprintf(stderr, "hk_tray_manager: no window %s\n", windowText);
    return 1;
  }
  int wx = 0, wy = 0;
  Window child;
  XTranslateCoordinates(d, win, root, 0, 0, &wx, &wy, &child);
  const int sw = DisplayWidth(d, screen), sh = DisplayHeight(d, screen);
  // Beneath the window: the desktop and the panel, as the server draws them
  // once the window is out of the way.
  XUnmapWindow(d, win);
  XSync(d, False);
  usleep(200000);
  XImage* below = XGetImage(d, root, 0, 0, static_cast<unsigned>(sw), static_cast<unsigned>(sh), AllPlanes, ZPixmap);
  XMapWindow(d, win);
  XSync(d, False);
  usleep(200000);
  XImage* card = XGetImage(d, win, 0, 0, static_cast<unsigned>(wa.width), static_cast<unsigned>(wa.height),
                           AllPlanes, ZPixmap);
  if (below == nullptr || card == nullptr) {
    std::fprintf(stderr, "hk_tray_manager: cannot read the screen\n");
    return 1;
  }
  FILE* f = std::fopen(out, "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "hk_tray_manager: cannot write %s\n", out);
    return 1;
  }
  std::fprintf(f, "P6\n%d %d\n255\n", sw, sh);
  const bool argb = wa.depth == 32;
  for (int y = 0; y < sh; ++y) {
    for (int x = 0; x < sw; ++x) {
      unsigned long p = XGetPixel(below, x, y);
      unsigned r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      const int cx = x - wx, cy = y - wy;
      if (cx >= 0 && cy >= 0 && cx < wa.width && cy < wa.height) {
        unsigned long c = XGetPixel(card, cx, cy);
        unsigned alpha = argb ? (c >> 24) & 0xFF : 255;
        // Premultiplied over: colour + beneath * (1 - alpha).
        r = std::min(255u, static_cast<unsigned>((c >> 16) & 0xFF) + r * (255 - alpha) / 255);
        g = std::min(255u, static_cast<unsigned>((c >> 8) & 0xFF) + g * (255 - alpha) / 255);
        b = std::min(255u, static_cast<unsigned>(c & 0xFF) + b * (255 - alpha) / 255);
      }
      const unsigned char px[3] = {static_cast<unsigned char>(r), static_cast<unsigned char>(g),
                                   static_cast<unsigned char>(b)};
      std::fwrite(px, 1, 3, f);
    }
  }
  std::fclose(f);
  XDestroyImage(below);
  XDestroyImage(card);
  XCloseDisplay(d);
  std::printf("window at %d,%d size %dx%d depth %d\n", wx, wy, wa.width, wa.height, wa.depth);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  if (argc == 4 && std::string(argv[1]) == "--compose") return Compose(argv[2], argv[3]);
  std::string desktop = "dark";
  if (argc == 3 && std::string(argv[1]) == "--desktop") desktop = argv[2];
  else if (argc != 1) {
    std::fprintf(stderr, "usage: hk_tray_manager [--desktop dark|light] | --compose WINDOW OUT.ppm\n");
    return 2;
  }
  return RunTray(desktop);
}
