// Resources embedded into the program file at build time (see
// hanakumo_resources in cmake/Hanakumo.cmake), found by type, name and
// language the way the system's code asks for them.  Names and types compare
// without regard to case; an integer name matches its decimal "#id" form.
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

constexpr WORD LANG_NEUTRAL_ID = 0;

// Called by the generated registration code of every embedded resource.
void RegisterResource(const char* type, const char* name, WORD language, const void* data, size_t size);

HRSRC FindResourceA(HMODULE module, const char* name, const char* type);
HRSRC FindResourceExA(HMODULE module, const char* type, const char* name, WORD language);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
const void* LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);
BOOL FreeResource(HGLOBAL data);

// Names of every resource of one type, in registration order (for tests and
// for code that enumerates, such as form loading by class name).
std::vector<std::string> ResourceNamesOfType(const char* type);
