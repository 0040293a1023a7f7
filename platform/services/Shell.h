// The shell's execution of documents and web addresses.
#pragma once

#include "platform/Types.h"

// Results above 32 mean success, as the system's code tests them.
constexpr uintptr_t SE_ERR_FNF = 2;
constexpr uintptr_t SE_ERR_NOASSOC = 31;
constexpr uintptr_t SE_ERR_SHELL_OK = 42;

// "open" (or no operation) hands `file` to the desktop's opener, xdg-open,
// found on PATH and started directly with posix_spawn: no shell ever sees the
// address, so quotes, semicolons and the like in it are inert. `directory`,
// when given, is the opener's working directory. The opener runs detached;
// its exit is collected in the background. Other operations, parameters the
// opener cannot take, an empty file or one that reads as an option are
// refused with SE_ERR_NOASSOC or SE_ERR_FNF.
HINSTANCE ShellExecuteA(HWND window, const char* operation, const char* file, const char* parameters,
                        const char* directory, INT showCommand);
