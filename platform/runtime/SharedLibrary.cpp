#include "platform/runtime/SharedLibrary.h"

#include <dlfcn.h>

namespace platform {

void* OpenSharedLibrary(const char* soname) {
    // Its symbols stay its own: nothing of the program's binds to them by accident.
    return dlopen(soname, RTLD_NOW | RTLD_LOCAL);
}

void* FunctionAddress(void* library, const char* name) {
    return dlsym(library, name);
}

} // namespace platform
