#include "platform/display/x11/XLibraries.h"

#include <dlfcn.h>

#include <mutex>

namespace platform::display {

#define DUDEZ_X_DEFINITION(name) decltype(&::name) name = nullptr;
DUDEZ_XLIB_FUNCTIONS(DUDEZ_X_DEFINITION)
#if DUDEZ_HAVE_XFT
DUDEZ_XFT_FUNCTIONS(DUDEZ_X_DEFINITION)
DUDEZ_FONTCONFIG_FUNCTIONS(DUDEZ_X_DEFINITION)
#endif
#undef DUDEZ_X_DEFINITION

namespace x11 {
namespace {

struct Loaded {
    bool xlib = false;
    bool xft = false;
};

// The sonames the -dev packages link against. Never unloaded: Xlib keeps process-wide state.
void* Open(const char* soname) {
    return dlopen(soname, RTLD_NOW | RTLD_LOCAL);
}

template <typename Pointer>
bool Find(void* library, const char* name, Pointer& pointer) {
    pointer = reinterpret_cast<Pointer>(dlsym(library, name));
    return pointer != nullptr;
}

Loaded Load() {
    Loaded loaded;
    void* library = Open("libX11.so.6");
    if (!library) return loaded;
    bool found = true;
#define DUDEZ_X_FIND(name) found = Find(library, #name, name) && found;
    DUDEZ_XLIB_FUNCTIONS(DUDEZ_X_FIND)
    loaded.xlib = found;
#if DUDEZ_HAVE_XFT
    // Xft without fontconfig is no use: both, or the core fonts.
    if (loaded.xlib && (library = Open("libXft.so.2"))) {
        DUDEZ_XFT_FUNCTIONS(DUDEZ_X_FIND)
        if ((library = Open("libfontconfig.so.1"))) {
            DUDEZ_FONTCONFIG_FUNCTIONS(DUDEZ_X_FIND)
            loaded.xft = found;
        }
    }
#endif
#undef DUDEZ_X_FIND
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
