// Notification-area icons on X11: one small window per recorded icon,
// docked with the freedesktop system tray (XEmbed). Whether a tray manager
// owns the selection is the notification area's presence: its arrival is
// broadcast as "TaskbarCreated", and its icons go when it goes. An icon
// window asks for a square of the tray's icon size through its size hints
// (a tray that sizes its icons from them gives it nothing else) and draws
// its icon scaled to whatever it is given.
#pragma once

#include <X11/Xlib.h>

#include <map>
#include <vector>

#include "platform/drivers/x11/X11Connection.h"
#include "platform/services/NotifyIcon.h"

class TX11Tray : public hk::TrayObserver {
 public:
  // Nothing is sent once `connection` is lost.
  TX11Tray(Display* display, int screen, const hkx11::TConnectionWatch& connection);
  ~TX11Tray() override;
  void TrayIconChanged(const hk::TrayIconRecord& icon, hk::TrayChange change) override;
  // Takes the events that belong to the tray; false for the others.
  bool Handle(XEvent& ev);

 private:
  struct TIconWindow {
    hk::TrayIconRecord Record;
    Window Xid = 0;
    Time LastPress = 0;
    unsigned LastButton = 0;
    // The side asked for in the size hints; whether a tray holds it.
    int Asked = 0;
    bool Docked = false;
  };
  void Create(TIconWindow& icon);
  // The size hints of a square of `side`.
  void Ask(TIconWindow& icon, int side);
  // The tray's icon size where it says so (0 where not), its orientation.
  int TrayIconSize();
  bool TrayVertical();
  void Dock(TIconWindow& icon);
  void Draw(TIconWindow& icon);
  void FindManager();
  TIconWindow* ByXid(Window x);

  Display* D;
  const hkx11::TConnectionWatch& Connection;
  int Screen;
  Window Root;
  Window Manager = 0;
  Atom Selection, ManagerAtom, Opcode, XembedInfo, IconSizeAtom, OrientationAtom;
  std::vector<TIconWindow> IconWindows;
};
