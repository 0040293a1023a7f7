// The display's connection, and its loss. Xlib notices a lost connection
// inside whichever request met it, and the Display is unusable from then
// on: every request after it only fills the output buffer, until one finds
// no room and Xlib hands back no request at all (a crash in the next
// call). So once lost, nothing more is sent on it.
#pragma once

#include <X11/Xlib.h>

#include <atomic>

namespace hkx11 {

class TConnectionWatch {
 public:
  // Takes over the connection's IO error exit: no report and no exit from
  // inside Xlib; the session ends in order instead.
  explicit TConnectionWatch(Display* d);
  TConnectionWatch(const TConnectionWatch&) = delete;
  TConnectionWatch& operator=(const TConnectionWatch&) = delete;
  bool Lost() const { return FLost.load(std::memory_order_relaxed); }

 private:
  static void OnLost(Display* d, void* self);
  std::atomic<bool> FLost{false};
};

}  // namespace hkx11
