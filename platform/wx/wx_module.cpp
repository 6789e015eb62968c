// The entry of orvanel-desktop.so, the module that holds the desktop back end
// and everything wxWidgets and GTK bring with them.
#include <type_traits>

#include "platform/desktop_module.h"
#include "platform/wx/wx_platform.h"

extern "C" __attribute__((visibility("default"))) const PlatformOps* OrvanelDesktopPlatformOps(size_t opsSize)
{
    // a table of another size comes from another build of the program
    return opsSize == sizeof(PlatformOps) ? &WxPlatformOps() : nullptr;
}

// The loader looks the entry up by name and calls it as this type.
static_assert(std::is_same<decltype(&OrvanelDesktopPlatformOps), DesktopModuleEntry>::value, "the entry's type");
