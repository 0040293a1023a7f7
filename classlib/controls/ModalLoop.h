// The message loop our modal windows (menus, drop-down lists, dialogs,
// message boxes) run while they are up.
#pragma once

#include <atomic>
#include <functional>

#include "platform/Windows.h"

// Runs the calling thread's messages, and the synchronised calls on the main
// thread, until `done`. Each message goes to `filter` first, which answers
// true when it took the message. A WM_QUIT ends the loop and is posted
// again, so the application still ends. The session's end ends it too, and
// a loop started after it returns at once.
void RunModalLoop(const std::atomic<bool>& done, const std::function<bool(MSG& msg)>& filter = {});
