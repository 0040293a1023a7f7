// Keeping stay-on-top windows above the others without a fight. The root's
// children are followed from the root's SubstructureNotify (their order,
// whether mapped, whether override-redirect), so deciding needs no round
// trip however busy the display is. A kept window is raised no higher than
// just above the topmost ordinary window of another client, so the
// override-redirect windows over those (a menu, a notification, a screen
// locker, another program's stay-on-top card) stay over it; our own
// restacks are applied to the model as they are sent, so their echoes are
// no news; and a window that keeps coming back over ours is left where it
// is after a few answers.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <map>
#include <vector>

namespace hkx11 {

class TRootStack {
 public:
  struct TChild {
    Window Xid = 0;
    bool Mapped = false;
    bool OverrideRedirect = false;
  };
  // Reads the root's children once; SubstructureNotify on the root is
  // selected before, so nothing falls between.
  void Load(Display* d, Window root);
  // Starts with no children known: every one of them is still to come.
  void Reset(Window root);
  bool Loaded() const { return FRoot != 0; }
  // Follows an event of the root's substructure; false for any other. An
  // event about a window older than our last restack of it is no news: the
  // restack sent after it decides where the window is.
  bool Follow(const XEvent& ev);
  // Our own requests, applied as they are sent, with the request's serial.
  // A restack without a sibling goes to the top (`above`) or the bottom.
  void Created(Window x, bool overrideRedirect, unsigned long serial);
  void Restacked(Window x, Window sibling, bool above, unsigned long serial);
  // The model lost track (a restack of ours failed, a sibling it never
  // heard of): read again before it is used.
  void Invalidate() { FStale = true; }
  bool Stale() const { return FStale; }
  // Bottom to top.
  const std::vector<TChild>& Children() const { return FChildren; }
  // Index from the bottom; -1 when the window is no child of the root.
  long IndexOf(Window x) const;
  bool Mapped(Window x) const;

 private:
  void Remove(Window x);
  // Just above `sibling` (None: at the bottom) or on top (`onTop`).
  void Insert(const TChild& c, Window sibling, bool onTop);
  TChild* Get(Window x);
  bool Superseded(Window x, unsigned long serial) const;

  Window FRoot = 0;
  bool FStale = false;
  std::vector<TChild> FChildren;
  // The serial of our last creation or restack of each window of ours.
  std::map<Window, unsigned long> FOurSerials;
};

// Another client's window that comes back over ours again and again (it
// keeps itself on top too) is answered a few times in a short while, then
// left above for a time.
class TCoverBackoff {
 public:
  using TClock = std::chrono::steady_clock;
  static constexpr int kAnswers = 3;
  static constexpr std::chrono::milliseconds kWithin{2000};
  static constexpr std::chrono::milliseconds kLetBeFor{10000};
  // Whether `w` may be answered now; an answer given is counted.
  bool Answer(Window w, TClock::time_point now);
  void Forget(Window w) { FRecords.erase(w); }

 private:
  struct TRecord {
    std::vector<TClock::time_point> Answers;
    TClock::time_point LetBeUntil{};
  };
  std::map<Window, TRecord> FRecords;
};

// A stay-on-top window of ours (a child of the root) and its own windows
// that stay just above it, in order. One whose owned window the window
// manager keeps above goes just below that window's frame instead.
struct TKeptWindow {
  Window Xid = 0;
  std::vector<Window> Owned;
  Window UnderFrame = 0;
};

// The child of the root an event of the root's substructure is about.
Window RootChildOf(const XEvent& ev);

struct TRestack {
  Window Xid = 0;
  Window Sibling = 0;
  bool GoesAbove = true;
};

// The restacks that put every kept window (in their order, bottom first)
// above every mapped ordinary window of another client, and their own
// windows above them, with the fewest requests: nothing when all is in
// place. Another client's override-redirect windows are never passed
// over; `mayAnswer` is asked before a kept window is raised over a window
// and may refuse (a window left be is treated as one not there).
std::vector<TRestack> PlanRestacks(const TRootStack& stack, const std::vector<TKeptWindow>& kept,
                                   const std::function<bool(Window)>& mayAnswer);

}  // namespace hkx11
