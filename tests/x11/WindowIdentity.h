// What a window says of itself to window managers and tools, read back as
// xprop reads it: WM_CLASS, WM_CLIENT_MACHINE, _NET_WM_PID, and the
// actions the window manager allows on it (_NET_WM_ALLOWED_ACTIONS).
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <optional>
#include <string>
#include <vector>

namespace hktest {

struct TWindowIdentity {
  std::string Instance, Class, Machine;
  long Pid = -1;  // -1: none set
};

inline TWindowIdentity ReadIdentity(Display* d, Window w) {
  TWindowIdentity id;
  XClassHint cls{};
  if (XGetClassHint(d, w, &cls)) {
    if (cls.res_name) id.Instance = cls.res_name;
    if (cls.res_class) id.Class = cls.res_class;
    if (cls.res_name) XFree(cls.res_name);
    if (cls.res_class) XFree(cls.res_class);
  }
  XTextProperty text{};
  if (XGetWMClientMachine(d, w, &text) && text.value != nullptr) {
    id.Machine.assign(reinterpret_cast<const char*>(text.value), text.nitems);
    XFree(text.value);
  }
  Atom type;
  int format;
  unsigned long n = 0, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL, &type, &format, &n,
                         &after, &data) == Success &&
      data != nullptr && n == 1 && format == 32)
    id.Pid = *reinterpret_cast<long*>(data);
  if (data) XFree(data);
  return id;
}

// _MOTIF_WM_HINTS: the functions and decorations a window asks for, each
// unset when the window leaves it to the window manager.
constexpr unsigned long kMotifResize = 2, kMotifMove = 4, kMotifMinimize = 8, kMotifMaximize = 16, kMotifClose = 32;
struct TMotifHints {
  std::optional<unsigned long> Functions, Decorations;
};
inline TMotifHints ReadMotifHints(Display* d, Window w) {
  TMotifHints hints;
  Atom atom = XInternAtom(d, "_MOTIF_WM_HINTS", False);
  Atom type;
  int format;
  unsigned long n = 0, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, atom, 0, 5, False, AnyPropertyType, &type, &format, &n, &after, &data) == Success &&
      data != nullptr && format == 32 && n >= 3) {
    const unsigned long* v = reinterpret_cast<const unsigned long*>(data);
    if (v[0] & 1) hints.Functions = v[1];
    if (v[0] & 2) hints.Decorations = v[2];
  }
  if (data) XFree(data);
  return hints;
}

// The names of the actions, without their "_NET_WM_ACTION_" ("MOVE", "CLOSE").
inline std::vector<std::string> AllowedActions(Display* d, Window w) {
  std::vector<std::string> out;
  Atom type;
  int format;
  unsigned long n = 0, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_ALLOWED_ACTIONS", False), 0, 64, False, XA_ATOM, &type,
                         &format, &n, &after, &data) == Success &&
      data != nullptr) {
    const Atom* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < n; ++i) {
      char* name = XGetAtomName(d, atoms[i]);
      if (name == nullptr) continue;
      std::string s = name;
      XFree(name);
      const std::string prefix = "_NET_WM_ACTION_";
      out.push_back(s.compare(0, prefix.size(), prefix) == 0 ? s.substr(prefix.size()) : s);
    }
  }
  if (data) XFree(data);
  return out;
}

}  // namespace hktest
