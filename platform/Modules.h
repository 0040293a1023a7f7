// Modules and functions bound by name. The program itself is a module, and
// a few system libraries ("User32.dll", "Kernel32.dll", "Gdi32.dll") answer
// GetProcAddress from a table of our own functions, so code that binds by
// name runs both with a function found and, when a test takes a name out of
// the table, without it. Names of modules compare without regard to case,
// with or without ".dll"; function names compare exactly.
#pragma once

#include "platform/Types.h"

// 0 gives the program's own module. Takes no reference.
HMODULE GetModuleHandleA(const char* name);
// A known module (counts a reference), else 0.
HMODULE LoadLibraryA(const char* name);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, const char* name);
// The full path of the running program for module 0 (or the program's
// module); the length copied, 0 on failure.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);

// For tests: replaces (or with nullptr removes) a function of a module's
// table; ResetModuleExports restores the original tables.
void SetModuleExport(const char* module, const char* name, FARPROC function);
void ResetModuleExports();

template <typename F>
inline FARPROC ToFarProc(F* function) {
  return reinterpret_cast<FARPROC>(function);
}
