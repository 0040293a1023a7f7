// The desktop services of the platform: waits and locks, the shell, the
// notification area.
#pragma once

#include "platform/services/MessageBox.h"
#include "platform/services/NotifyIcon.h"
#include "platform/services/Shell.h"
#include "platform/services/Synch.h"
