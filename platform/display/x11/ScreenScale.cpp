#include "platform/display/x11/ScreenScale.h"
#include "platform/display/x11/XLibraries.h"

#include <X11/Xresource.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace platform::display::x11 {

double ScreenDpi(Display* display) {
    constexpr double kDefault = 96.0;
    if (!LoadXLibraries()) return kDefault;
    // The resources the desktop put on the root window (xrdb); none on a bare server.
    const char* resources = XResourceManagerString(display);
    if (!resources) return kDefault;
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(resources);
    if (!database) return kDefault;
    double dpi = kDefault;
    char* type = nullptr;
    XrmValue value{};
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr && type &&
        std::strcmp(type, "String") == 0) {
        char* end = nullptr;
        const double read = std::strtod(value.addr, &end);
        // A value that is no number, or none a screen could have, is not taken.
        if (end != value.addr && read >= 24.0 && read <= 2400.0) dpi = read;
    }
    XrmDestroyDatabase(database);
    return dpi;
}

int WholeScale(double dpi) {
    const long factor = std::lround(dpi / 96.0);
    return factor < 1 ? 1 : static_cast<int>(factor);
}

} // namespace platform::display::x11
