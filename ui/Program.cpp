// The start-up code of the executable: it prepares the platform (resources, display, the stop
// signals), builds the command-line text from the arguments and hands over to WinMain. Returning
// from here runs the exit handler that WinMain registered.
#include "platform/HeadlessUser.h"
#include "platform/SessionEnd.h"
#include "platform/Startup.h"
#include "platform/Windows.h"
#include "resources/ProgramResources.h"
#include "ui/Globals.h"

#include <string>

int main(int argc, char** argv) {
    // Before any thread starts, so that only the signal thread ever takes them.
    platform::BlockStopSignals();
    RegisterDialogAndKeys();
    RegisterPictures();
    RegisterIcons();
    platform::ForwardStopSignals(&gMainWindow);
    platform::StartHeadlessUser(&gMainWindow);

    static std::string commandLine = platform::CommandLineText(argc, argv);
    WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
    return 0;   // on every path, as the program always has
}
