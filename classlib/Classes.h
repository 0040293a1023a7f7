// The class library's basic classes in one include.
#pragma once

#include "classlib/Components.h"
#include "classlib/Lists.h"
#include "classlib/Streams.h"
#include "classlib/StringLists.h"
#include "classlib/SysTypes.h"
