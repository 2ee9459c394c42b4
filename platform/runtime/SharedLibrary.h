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

// For a library's functions listed in an X-macro (X(name) for each), as the tables of the X
// libraries, libdbus and libtinfo list them:
//   DUDEZ_LIBRARY_POINTER(name) declares `name`, a pointer of the type its header gives ::name;
//   DUDEZ_LIBRARY_FIND(name) sets it from `library` and clears `found` when it is missing.
#define DUDEZ_LIBRARY_POINTER(name) decltype(&::name) name = nullptr;
#define DUDEZ_LIBRARY_FIND(name) found = platform::FindFunction(library, #name, name) && found;
