// The program's entry point and what the start-up code hands it.
//
// The program defines WinMain; the executable's main() builds the command-line text from its
// arguments and calls it with the module instance and SW_SHOWDEFAULT:
//
//     int main(int argc, char** argv) {
//         static std::string text = platform::CommandLineText(argc, argv);
//         return WinMain(GetModuleHandleA(nullptr), nullptr, text.data(), SW_SHOWDEFAULT);
//     }
#pragma once

#include "platform/WinTypes.h"

#include <string>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

namespace platform {

// The text behind the program's name: the arguments after the first, joined with single
// spaces (empty when there are none). Arguments are taken as they are, spaces inside included.
std::string CommandLineText(int argc, const char* const* argv);

} // namespace platform
