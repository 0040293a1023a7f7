#include "platform/drivers/x11/X11Connection.h"

#include "platform/Session.h"

namespace hkx11 {

namespace {
int QuietIOError(Display*) { return 0; }
}  // namespace

TConnectionWatch::TConnectionWatch(Display* d) {
  XSetIOErrorHandler(QuietIOError);
  XSetIOErrorExitHandler(d, OnLost, this);
}

void TConnectionWatch::OnLost(Display*, void* self) {
  auto* watch = static_cast<TConnectionWatch*>(self);
  if (!watch->FLost.exchange(true)) RequestSessionEnd();
}

}  // namespace hkx11
