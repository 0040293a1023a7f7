// Notification-area icons on X11 through the freedesktop system tray.
#include "platform/drivers/x11/X11Tray.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>

#include "platform/Icons.h"
#include "platform/Input.h"
#include "platform/Messages.h"
#include "platform/WindowInternals.h"
#include "platform/drivers/x11/X11Identity.h"

namespace {
constexpr long kRequestDock = 0;
constexpr int kIconSize = 24;
}  // namespace

TX11Tray::TX11Tray(Display* display, int screen, const hkx11::TConnectionWatch& connection)
    : D(display), Connection(connection), Screen(screen) {
  Root = RootWindow(D, Screen);
  char name[64];
  std::snprintf(name, sizeof name, "_NET_SYSTEM_TRAY_S%d", Screen);
  Selection = XInternAtom(D, name, False);
  ManagerAtom = XInternAtom(D, "MANAGER", False);
  Opcode = XInternAtom(D, "_NET_SYSTEM_TRAY_OPCODE", False);
  XembedInfo = XInternAtom(D, "_XEMBED_INFO", False);
  // A tray announces itself with a MANAGER message on the root window.
  XWindowAttributes attrs;
  XGetWindowAttributes(D, Root, &attrs);
  XSelectInput(D, Root, attrs.your_event_mask | StructureNotifyMask);
  FindManager();
  hk::SetTrayObserver(this);
  // Icons recorded before this display have no tray of ours yet: without a
  // tray they go; with one they dock.
  hk::SetNotificationAreaPresent(Manager != 0, false);
  for (const auto& record : hk::TrayIcons()) TrayIconChanged(record, hk::TrayChange::Added);
}

TX11Tray::~TX11Tray() {
  hk::SetTrayObserver(nullptr);
  if (Connection.Lost()) return;
  for (auto& icon : IconWindows)
    if (icon.Xid) XDestroyWindow(D, icon.Xid);
}

void TX11Tray::FindManager() {
  Manager = XGetSelectionOwner(D, Selection);
  if (Manager != 0) XSelectInput(D, Manager, StructureNotifyMask);
}

TX11Tray::TIconWindow* TX11Tray::ByXid(Window x) {
  for (auto& icon : IconWindows)
    if (icon.Xid == x && x != 0) return &icon;
  return nullptr;
}

void TX11Tray::Create(TIconWindow& icon) {
  XSetWindowAttributes a{};
  a.background_pixmap = ParentRelative;
  a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | StructureNotifyMask;
  icon.Xid = XCreateWindow(D, Root, 0, 0, kIconSize, kIconSize, 0, CopyFromParent, InputOutput, CopyFromParent,
                           CWBackPixmap | CWEventMask, &a);
  unsigned long info[2] = {0, 1};  // XEmbed version 0, mapped
  XChangeProperty(D, icon.Xid, XembedInfo, XembedInfo, 32, PropModeReplace, reinterpret_cast<unsigned char*>(info), 2);
  XStoreName(D, icon.Xid, icon.Record.Tip.c_str());
  hkx11::SetWindowIdentity(D, icon.Xid);
}

void TX11Tray::Dock(TIconWindow& icon) {
  if (Manager == 0) return;
  if (icon.Xid == 0) Create(icon);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = Manager;
  e.xclient.message_type = Opcode;
  e.xclient.format = 32;
  e.xclient.data.l[0] = CurrentTime;
  e.xclient.data.l[1] = kRequestDock;
  e.xclient.data.l[2] = static_cast<long>(icon.Xid);
  XSendEvent(D, Manager, False, NoEventMask, &e);
  XFlush(D);
}

void TX11Tray::TrayIconChanged(const hk::TrayIconRecord& record, hk::TrayChange change) {
  if (Connection.Lost()) return;
  auto it = std::find_if(IconWindows.begin(), IconWindows.end(), [&](const TIconWindow& i) {
    return i.Record.Window == record.Window && i.Record.Id == record.Id;
  });
  if (change == hk::TrayChange::Deleted) {
    if (it != IconWindows.end()) {
      if (it->Xid) XDestroyWindow(D, it->Xid);
      IconWindows.erase(it);
      XFlush(D);
    }
    return;
  }
  if (it == IconWindows.end()) {
    IconWindows.push_back(TIconWindow{});
    it = IconWindows.end() - 1;
    it->Record = record;
    Create(*it);
    Dock(*it);
  } else {
    it->Record = record;
    if (it->Xid) {
      XStoreName(D, it->Xid, record.Tip.c_str());
      Draw(*it);
    }
  }
  XFlush(D);
}

void TX11Tray::Draw(TIconWindow& icon) {
  XWindowAttributes attrs;
  if (icon.Xid == 0 || !XGetWindowAttributes(D, icon.Xid, &attrs) || attrs.map_state != IsViewable) return;
  int w = attrs.width, h = attrs.height;
  XClearWindow(D, icon.Xid);
  std::vector<uint32_t> pixels;
  int iw = 0, ih = 0;
  if (!GetIconPixels(icon.Record.Icon, &iw, &ih, &pixels) || iw <= 0 || ih <= 0) return;
  // Blend onto what the tray shows behind the icon.
  XImage* img = XGetImage(D, icon.Xid, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
  if (img == nullptr) return;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t p = pixels[static_cast<size_t>(y * ih / h) * static_cast<size_t>(iw) + static_cast<size_t>(x * iw / w)];
      uint32_t a = p >> 24;
      if (a == 0) continue;
      uint32_t bg = static_cast<uint32_t>(XGetPixel(img, x, y));
      uint32_t out = 0;
      for (int s = 0; s < 24; s += 8) {
        uint32_t c = ((p >> s) & 0xFF) * a + ((bg >> s) & 0xFF) * (255 - a);
        out |= ((c + 127) / 255) << s;
      }
      XPutPixel(img, x, y, out);
    }
  GC gc = XCreateGC(D, icon.Xid, 0, nullptr);
  XPutImage(D, icon.Xid, gc, img, 0, 0, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XFreeGC(D, gc);
  XDestroyImage(img);
}

bool TX11Tray::Handle(XEvent& ev) {
  if (ev.type == ClientMessage && ev.xclient.window == Root && ev.xclient.message_type == ManagerAtom &&
      static_cast<Atom>(ev.xclient.data.l[1]) == Selection) {
    // A new tray (one that takes over from another starts empty): the
    // programs hear of it and add their icons again.
    if (Manager != 0) hk::SetNotificationAreaPresent(false);
    Manager = static_cast<Window>(ev.xclient.data.l[2]);
    XSelectInput(D, Manager, StructureNotifyMask);
    hk::SetNotificationAreaPresent(true);
    return true;
  }
  if (ev.type == DestroyNotify && ev.xdestroywindow.window == Manager && Manager != 0) {
    // The icons go with the tray.
    Manager = 0;
    hk::SetNotificationAreaPresent(false);
    return true;
  }
  TIconWindow* icon = ByXid(ev.xany.window);
  if (icon == nullptr) {
    // A press anywhere else (an item of the icon's menu) parts two presses
    // on the icon: they are no double click.
    if (ev.type == ButtonPress)
      for (TIconWindow& i : IconWindows) i.LastButton = 0;
    return false;
  }
  const hk::TrayIconRecord& r = icon->Record;
  switch (ev.type) {
    case Expose:
      if (ev.xexpose.count == 0) Draw(*icon);
      break;
    case MapNotify:
    case ConfigureNotify:
      Draw(*icon);
      break;
    case DestroyNotify:
      // Gone with the tray that held it: made again for the next tray.
      icon->Xid = 0;
      break;
    case MotionNotify:
      hkwin::SetCursorPosition(ev.xmotion.x_root, ev.xmotion.y_root);
      hk::NotifyTrayIconEvent(r.Window, r.Id, WM_MOUSEMOVE);
      break;
    case ButtonPress:
    case ButtonRelease: {
      hkwin::SetCursorPosition(ev.xbutton.x_root, ev.xbutton.y_root);
      unsigned b = ev.xbutton.button;
      if (b != Button1 && b != Button2 && b != Button3) break;
      UINT base = b == Button1 ? WM_LBUTTONDOWN : b == Button3 ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
      if (ev.type == ButtonPress) {
        bool dbl = icon->LastButton == b && ev.xbutton.time - icon->LastPress <= GetDoubleClickTime();
        hk::NotifyTrayIconEvent(r.Window, r.Id, dbl ? base + 2 : base);
        icon->LastPress = dbl ? 0 : ev.xbutton.time;
        icon->LastButton = dbl ? 0 : b;
      } else {
        hk::NotifyTrayIconEvent(r.Window, r.Id, base + 1);
        // The newer notifications follow the release.
        if (r.Version >= 3 && b == Button1) hk::NotifyTrayIconEvent(r.Window, r.Id, NIN_SELECT);
        if (r.Version >= 3 && b == Button3) hk::NotifyTrayIconEvent(r.Window, r.Id, WM_CONTEXTMENU);
      }
      break;
    }
    default:
      break;
  }
  return true;
}
