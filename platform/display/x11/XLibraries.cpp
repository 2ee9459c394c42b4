#include "platform/display/x11/XLibraries.h"

#include "platform/runtime/SharedLibrary.h"

namespace platform::display {

DUDEZ_XLIB_FUNCTIONS(DUDEZ_LIBRARY_POINTER)
#if DUDEZ_HAVE_XFT
DUDEZ_XFT_FUNCTIONS(DUDEZ_LIBRARY_POINTER)
DUDEZ_FONTCONFIG_FUNCTIONS(DUDEZ_LIBRARY_POINTER)
#endif

namespace x11 {
namespace {

struct Loaded {
    bool xlib = false;
    bool xft = false;
};

// By the sonames the -dev packages link against.
Loaded Load() {
    Loaded loaded;
    void* library = OpenSharedLibrary("libX11.so.6");
    if (!library) return loaded;
    bool found = true;
    DUDEZ_XLIB_FUNCTIONS(DUDEZ_LIBRARY_FIND)
    loaded.xlib = found;
#if DUDEZ_HAVE_XFT
    // Xft without fontconfig is no use: both, or the core fonts.
    if (loaded.xlib && (library = OpenSharedLibrary("libXft.so.2"))) {
        DUDEZ_XFT_FUNCTIONS(DUDEZ_LIBRARY_FIND)
        if ((library = OpenSharedLibrary("libfontconfig.so.1"))) {
            DUDEZ_FONTCONFIG_FUNCTIONS(DUDEZ_LIBRARY_FIND)
            loaded.xft = found;
        }
    }
#endif
    return loaded;
}

const Loaded& Libraries() {
    static const Loaded loaded = Load();   // once, whichever thread asks first
    return loaded;
}

} // namespace

bool LoadXLibraries() {
    return Libraries().xlib;
}

bool HaveXft() {
    return Libraries().xft;
}

} // namespace x11
} // namespace platform::display
