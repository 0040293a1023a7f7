// Placeholder until the X11 driver lands.
#include "platform/Driver.h"

std::unique_ptr<TPlatformDriver> MakeX11Driver(const std::string&) { return nullptr; }
