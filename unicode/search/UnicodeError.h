// Failures of the Unicode text library's text routines.
#pragma once

#include "classlib/SysTypes.h"

HK_DECLARE_EXCEPTION(ETextError, Exception);
// Raised by the search engine for a pattern that does not compile.
HK_DECLARE_EXCEPTION(EUnicodeError, ETextError);
