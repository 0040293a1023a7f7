// The end of the session: logout (the display's connection closing) and
// the signals that end a program (SIGTERM, SIGHUP, SIGINT). The thread
// that installs the handlers hears of it in its own message loop, however
// deep (a modal loop, a long search pumping its messages): each of its
// top-level windows, hidden helper windows too, gets WM_QUERYENDSESSION
// and then WM_ENDSESSION(TRUE), once. The class library's application then
// closes its main form and ends its run, so the program exits as usual.
#pragma once

#include "platform/Types.h"

constexpr LPARAM ENDSESSION_CLOSEAPP = 0x00000001;
constexpr LPARAM ENDSESSION_LOGOFF = static_cast<LPARAM>(0x80000000u);

// SIGTERM, SIGHUP and SIGINT end the session from now on; the calling
// thread is the one told. Calling it again moves that to the new caller.
void InstallSessionEndHandlers();
// The session ends (the display went, a signal came): safe from any thread
// and from a signal handler. Only the first request counts.
void RequestSessionEnd();
// The session is ending (it was asked for, delivered or not): from now on
// nothing waits for a user. Safe from any thread.
bool SessionEnding();

namespace hkwin {
// The message loop's side: delivers a pending end to the calling thread's
// windows when it is the thread told; false when there was none.
bool DeliverSessionEnd();
// Tests: forget a delivered end, so that another can come.
void ResetSessionEndForTests();
}  // namespace hkwin
