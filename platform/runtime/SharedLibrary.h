// A shared library loaded when first wanted rather than linked, for what only some runs use (the
// X libraries, libdbus): a start then maps none of it. Opened by soname, for the life of the
// process (libraries such as Xlib keep process-wide state and are never closed).
//
//     void* library = platform::OpenSharedLibrary("libdbus-1.so.3");
//     decltype(&::dbus_free) free = nullptr;
//     const bool found = library && platform::FindFunction(library, "dbus_free", free);
#pragma once

namespace platform {

// Null when the library cannot be had.
void* OpenSharedLibrary(const char* soname);
// The address of `name` in `library`, or null.
void* FunctionAddress(void* library, const char* name);

// Sets `function` to `name` in `library`; false when it is missing.
template <typename Function>
bool FindFunction(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(FunctionAddress(library, name));
    return function != nullptr;
}

} // namespace platform
