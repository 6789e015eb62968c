// The desktop back end on wxWidgets. The program calls only this header; it
// includes no toolkit header, so the program's own code stays free of them.
#pragma once

#include "platform/platform_ops.h"

// The back end's operations; starting it (on SelectPlatform) fails when no
// display can be opened.
const PlatformOps& WxPlatformOps();

// Makes the back end available to SelectPlatform(PlatformDesktop) in a
// program that links it in. The orvanel executable does not: it loads the
// back end from its module (platform/desktop_module.h).
inline void RegisterDesktopPlatform()
{
    RegisterPlatform(PlatformDesktop, &WxPlatformOps());
}
