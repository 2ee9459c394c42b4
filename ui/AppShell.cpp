#include "ui/AppShell.h"

#include "convert/BatchReport.h"
#include "convert/ConvertBatch.h"
#include "platform/Windows.h"
#include "platform/runtime/SessionEnd.h"
#include "stream/OutputNaming.h"
#include "ui/EndNotice.h"
#include "ui/Globals.h"
#include "ui/MainWindow.h"
#include "ui/PicturePanel.h"
#include "ui/ProgressPanel.h"

#include <stdio_ext.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

void ExitCleanup() {
    // WATCHOUT: this stops the worker's file work before anything is closed; a worker that is
    // still converting waits at its next file call until the process ends.
    // It also removes every file this run made and had not finished: the output the panel names
    // (gExitDeleteName) among them, when it is still unfinished. The name itself is never
    // deleted: by name alone it could hit someone else's file, as an entry that failed has
    // removed its output already and the name may have been taken since.
    crt::_fcloseall();
}

namespace {

// The report goes after what the worker's traces left in standard output's buffer, and never
// waits past a stop: a worker blocked in a trace of its own holds the stream, and a reader
// that has stopped reading takes nothing.
void WriteReport(const std::string& text) {
    while (ftrylockfile(stdout) != 0) {
        if (platform::EndIsCut()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (std::fflush(stdout) != 0) __fpurge(stdout);
    platform::WriteUnlessStopped(STDOUT_FILENO, text);
    funlockfile(stdout);
}

} // namespace

int FinishRun(int winMainResult) {
    crt::StopFileWork();
    // One look at the report for both the text and the status: the worker may still record (the
    // end of the list) while the program ends, and the status must say what the text says.
    const BatchReport::Ending ending = TheBatchReport().Conclude();
    platform::BeginEnding(!ending.finished);
    WriteReport(ending.text);
    NotifyDesktopOfEnd(ending.text, ending.succeeded);
    return winMainResult == 0 && ending.succeeded && !platform::StopSignalled() ? 0 : 1;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    std::atexit(ExitCleanup);
    InitCommonControls();

    if (!RegisterMainWindowClass(instance)) return 0;
    gInstance = instance;

    HACCEL keys = LoadAcceleratorsA(instance, "DUDEZ");
    StartPictures();

    // Published with an atomic store: the stop-signal thread (and, headless, the stand-in user)
    // already wait for the handle and read it while it is set.
    std::atomic_ref<HWND>(gMainWindow).store(CreateDialogParamA(instance, "DUDEZ", nullptr, nullptr, 0));
    if (!gMainWindow) return 0;
    ShowWindow(gMainWindow, showCommand);
    UpdateWindow(gMainWindow);

    // The report knows every name from here on: a program stopped before the worker has split
    // the names, or whose worker cannot start, still says what became of each.
    TheBatchReport().Begin(BatchNames(commandLine));
    // Never destroyed: the program may end while the worker is still in a conversion.
    static ProgressPanel* const progress = new ProgressPanel;
    SetBatchTarget(BatchTarget{gMainWindow, UM_BATCHDONE, progress});
    if (_beginthread(ConvertBatch, 0, commandLine) == static_cast<std::uintptr_t>(-1)) {
        // Nothing would ever run the batch or turn the button into Done: say so and end.
        std::perror("dudez: cannot start the conversion");
        DestroyWindow(gMainWindow);
        DeletePictures();
        if (HasLongFileNames(GetVersion())) UnregisterClassA("DUDEZ", instance);
        return 1;
    }

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (keys && TranslateAcceleratorA(gMainWindow, keys, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    DeletePictures();
    if (HasLongFileNames(GetVersion())) UnregisterClassA("DUDEZ", instance);
    return static_cast<int>(msg.wParam);
}
