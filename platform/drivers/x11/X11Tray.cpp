// Notification-area icons on X11 through the freedesktop system tray.
#include "platform/drivers/x11/X11Tray.h"

#include <X11/Xatom.h>
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
// Asked for until the tray says otherwise.
constexpr int kIconSize = 24;

// A CARDINAL of the window; `fallback` where it has none.
long CardinalOf(Display* d, Window w, Atom property, long fallback) {
  Atom type = None;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  long value = fallback;
  if (XGetWindowProperty(d, w, property, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after, &data) == Success &&
      data != nullptr && type == XA_CARDINAL && format == 32 && n == 1)
    value = *reinterpret_cast<long*>(data);
  if (data) XFree(data);
  return value;
}
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
  IconSizeAtom = XInternAtom(D, "_NET_SYSTEM_TRAY_ICON_SIZE", False);
  OrientationAtom = XInternAtom(D, "_NET_SYSTEM_TRAY_ORIENTATION", False);
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
  icon.Asked = 0;
  icon.Docked = false;
  Ask(icon, kIconSize);
  unsigned long info[2] = {0, 1};  // XEmbed version 0, mapped
  XChangeProperty(D, icon.Xid, XembedInfo, XembedInfo, 32, PropModeReplace, reinterpret_cast<unsigned char*>(info), 2);
  XStoreName(D, icon.Xid, icon.Record.Tip.c_str());
  hkx11::SetWindowIdentity(D, icon.Xid);
}

int TX11Tray::TrayIconSize() {
  const long size = Manager != 0 ? CardinalOf(D, Manager, IconSizeAtom, 0) : 0;
  return size > 0 && size <= 512 ? static_cast<int>(size) : 0;
}

bool TX11Tray::TrayVertical() { return Manager != 0 && CardinalOf(D, Manager, OrientationAtom, 0) == 1; }

void TX11Tray::Ask(TIconWindow& icon, int side) {
  if (side <= 0 || side == icon.Asked) return;
  icon.Asked = side;
  // A tray that sizes its icons from the hints (trayer's GtkSocket) takes
  // the least size, else the base size, and gives 1 pixel without either.
  XSizeHints hints{};
  hints.flags = PMinSize | PBaseSize;
  hints.min_width = hints.min_height = hints.base_width = hints.base_height = side;
  XSetWMNormalHints(D, icon.Xid, &hints);
}

void TX11Tray::Dock(TIconWindow& icon) {
  if (Manager == 0) return;
  if (icon.Xid == 0) Create(icon);
  Ask(icon, TrayIconSize());
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
  // A square as large as the window allows, in its middle, from the
  // icon's smallest size that fills it (else its largest).
  const int side = std::min(w, h), left = (w - side) / 2, top = (h - side) / 2;
  const std::vector<TIconImage> images = GetIconImages(icon.Record.Icon);
  const TIconImage* image = nullptr;
  for (const TIconImage& i : images) {
    if (i.Width <= 0 || i.Height <= 0) continue;
    if (image == nullptr) {
      image = &i;
      continue;
    }
    const bool fills = i.Width >= side, chosenFills = image->Width >= side;
    if (fills ? !chosenFills || i.Width < image->Width : !chosenFills && i.Width > image->Width) image = &i;
  }
  if (image == nullptr) return;
  const std::vector<uint32_t>& pixels = image->Pixels;
  const int iw = image->Width, ih = image->Height;
  // Blend onto what the tray shows behind the icon.
  XImage* img = XGetImage(D, icon.Xid, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
  if (img == nullptr) return;
  for (int y = top; y < top + side; ++y)
    for (int x = left; x < left + side; ++x) {
      // The icon's pixel under this one's centre.
      const size_t sx = static_cast<size_t>((2 * (x - left) + 1) * iw / (2 * side));
      const size_t sy = static_cast<size_t>((2 * (y - top) + 1) * ih / (2 * side));
      uint32_t p = pixels[sy * static_cast<size_t>(iw) + sx];
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
    case ReparentNotify:
      icon->Docked = ev.xreparent.parent != Root;
      break;
    case ConfigureNotify:
      // Where the tray names no icon size, its height (a vertical tray's
      // width) is the size: a square of it is asked for once the tray has
      // given one side of it.
      if (icon->Docked && TrayIconSize() == 0) {
        Ask(*icon, TrayVertical() ? ev.xconfigure.width : ev.xconfigure.height);
        XFlush(D);
      }
      Draw(*icon);
      break;
    case MapNotify:
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
