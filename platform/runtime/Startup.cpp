// What the start-up code hands the program: its instance and its command-line text.
#include "platform/Kernel.h"
#include "platform/Startup.h"

#include <cstdint>

namespace platform {

std::string CommandLineText(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc && argv; ++i) {
        if (!argv[i]) break;
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

} // namespace platform

HMODULE GetModuleHandleA(LPCSTR name) {
    // The program's one module: the usual base address of a program on the platform.
    return name ? nullptr : reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x00400000));
}
