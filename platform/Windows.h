// The whole platform interface that the system's code is written against.
#pragma once

#include "platform/Types.h"
#include "platform/Caret.h"
#include "platform/Clipboard.h"
#include "platform/ClipboardData.h"
#include "platform/Clock.h"
#include "platform/GlobalMemory.h"
#include "platform/Icons.h"
#include "platform/Input.h"
#include "platform/Layered.h"
#include "platform/Messages.h"
#include "platform/Modules.h"
#include "platform/Resources.h"
#include "platform/SystemInfo.h"
#include "platform/Timers.h"
#include "platform/Window.h"
#if __has_include("platform/gdi/Gdi.h")
#include "platform/gdi/Gdi.h"
#endif
#if __has_include("platform/services/Services.h")
#include "platform/services/Services.h"
#endif
