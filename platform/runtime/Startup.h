// The program's entry point and what the start-up code hands it.
//
// The program defines WinMain; the executable's main() builds the command line from its
// arguments and calls it with the module instance and SW_SHOWDEFAULT:
//
//     int main(int argc, char** argv) {
//         platform::CommandLine& line = platform::MakeCommandLine(argc, argv);
//         return WinMain(GetModuleHandleA(nullptr), nullptr, line.text.data(), SW_SHOWDEFAULT);
//     }
#pragma once

#include "platform/runtime/WinTypes.h"

#include <cstddef>
#include <string>
#include <vector>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

namespace platform {


// The command line as the start-up code keeps it: the text WinMain is handed (the arguments after
// the program's name, joined with single spaces, empty when there are none; each taken as it is,
// spaces inside included), and the length of each argument in it (they follow one another, one
// space apart). The shell or the file manager
// has already separated the names, so a name with spaces in it can still be told from two names.
struct CommandLine {
    std::string text;
    std::vector<std::size_t> argumentLengths;
};

// Makes the program's command line from its arguments. It is never destroyed: the worker splits
// its text in place and may still be at it while static objects go at exit.
CommandLine& MakeCommandLine(int argc, const char* const* argv);

// Where the arguments lie in text, when text is the command-line text MakeCommandLine made (null
// for any other text, which then counts as one argument).
const std::vector<std::size_t>* ArgumentLengths(const char* text);

// Maps the program's own code and constants in at once, a system call for each part, rather
// than a page fault at every few pages first run or read: on a virtual machine each fault traps
// into the host, and a run on a tiny file took two dozen of them. Only a hint: where the system
// cannot, they are mapped on first use as ever. The shared libraries are left as they are.
void MapProgramAtOnce();

// Makes every thread allocate from one heap. By default the C library gives a thread that finds
// the heap busy a heap of its own, and what it allocated there stays in memory beside the first:
// a batch of 1,000 small files peaked anywhere from 5.8 to 8.5 MB, depending on how often the
// converter and the window met in the allocator. Call before the first thread starts.
void OneHeapForAllThreads();

} // namespace platform
