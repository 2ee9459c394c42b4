// The start-up code of the executable: it prepares the platform (resources, display, the stop
// signals), builds the command-line text from the arguments and hands over to WinMain. Returning
// from here runs the exit handler that WinMain registered.
#include "platform/HeadlessUser.h"
#include "platform/SessionEnd.h"
#include "platform/Startup.h"
#include "platform/Windows.h"
#include "platform/display/Backend.h"
#ifdef DUDEZ_HAVE_X11
#include "platform/display/X11Display.h"
#endif
#if __has_include("platform/display/TerminalDisplay.h")
#include "platform/display/TerminalDisplay.h"
#define DUDEZ_HAVE_TERMINAL 1
#endif
#include "resources/ProgramResources.h"
#include "ui/Globals.h"

#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

namespace {

// The display the window is shown on: an X11 display when one can be opened, else the
// controlling terminal, else none. Null means headless.
std::unique_ptr<platform::display::Backend> OpenDisplay() {
#ifdef DUDEZ_HAVE_X11
    if (auto x11 = platform::display::OpenX11Display()) return x11;
#endif
#ifdef DUDEZ_HAVE_TERMINAL
    if (auto terminal = OpenTerminalDisplay()) return terminal;
#endif
    return nullptr;
}

} // namespace

namespace {

int Run(int argc, char** argv) {
    RegisterDialogAndKeys();
    RegisterPictures();
    RegisterIcons();
    platform::ForwardStopSignals(&gMainWindow);
    // Nobody watches a headless run: a stand-in user ends it once the batch is done.
    if (auto display = OpenDisplay()) {
        platform::display::Install(std::move(display));
    } else {
        platform::StartHeadlessUser(&gMainWindow);
    }

    // Never destroyed: the batch thread splits it in place and may still be at it while the
    // program's static objects go at exit.
    static std::string* const commandLine = new std::string(platform::CommandLineText(argc, argv));
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine->data(), SW_SHOWDEFAULT) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // Before any thread starts, so that only the signal thread ever takes them.
    platform::BlockStopSignals();
    platform::KeepWriteFailuresAsErrors();
    try {
        return Run(argc, argv);
    } catch (const std::system_error& error) {
        // A thread of the platform's that could not be started (a limit on processes or on
        // memory): nothing would ever run the batch or end the program.
        std::fprintf(stderr, "dudez: cannot start: %s\n", error.code().message().c_str());
        return 1;
    }
}
