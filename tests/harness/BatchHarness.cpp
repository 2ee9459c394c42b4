#include "tests/harness/BatchHarness.h"

#include "convert/ConvertBatch.h"
#include "platform/user/Model.h"
#include "ui/Globals.h"
#include "ui/HeadlessMainWindow.h"
#include "ui/ProgressPanel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

std::atomic<bool> gBatchDone{false};
std::mutex gTextsMutex;
std::vector<std::string>* gFileNameTexts = nullptr;
std::vector<std::string>* gTotalTexts = nullptr;

LRESULT CALLBACK TestMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == UM_BATCHDONE) gBatchDone = true;
    return DefWindowProcA(window, message, wParam, lParam);
}

// A static text that also notes every text it is given.
LRESULT CALLBACK LoggedTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) {
        std::lock_guard<std::mutex> lock(gTextsMutex);
        auto* log = GetDlgCtrlID(window) == IDC_FILENAME ? gFileNameTexts : gTotalTexts;
        if (log) log->emplace_back(lParam ? reinterpret_cast<const char*>(lParam) : "");
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

BatchWindow::BatchWindow() {
    mWindow = MakeHeadlessMainWindow(TestMainProc, LoggedTextProc);
    EXPECT_NE(mWindow, nullptr);
}

BatchWindow::~BatchWindow() {
    DestroyHeadlessMainWindow(mWindow);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

BatchRun BatchWindow::Run(const std::string& commandLine, int timeoutMs) {
    BatchRun run;
    gBatchDone = false;
    {
        std::lock_guard<std::mutex> lock(gTextsMutex);
        gFileNameTexts = &run.fileNameTexts;
        gTotalTexts = &run.totalTexts;
    }
    // The worker writes into its text while it splits it, so it gets a copy that outlives it.
    static std::vector<std::vector<char>> texts;
    texts.emplace_back(commandLine.begin(), commandLine.end());
    texts.back().push_back('\0');

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    // The program's own progress panel: the texts and the bar are the ones it sends.
    static ProgressPanel* const progress = new ProgressPanel;
    SetBatchTarget(BatchTarget{mWindow, UM_BATCHDONE, progress});
    _beginthread(ConvertBatch, 0, texts.back().data());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    MSG msg;
    while (!gBatchDone && std::chrono::steady_clock::now() < deadline) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        else
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    run.finished = gBatchDone;
    // Give the worker time to leave _endthread before the capture ends.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    run.stdoutText = testing::internal::GetCapturedStdout();
    run.stderrText = testing::internal::GetCapturedStderr();
    {
        std::lock_guard<std::mutex> lock(gTextsMutex);
        gFileNameTexts = gTotalTexts = nullptr;
    }
    return run;
}

std::string BatchWindow::ControlText(int id) const {
    char text[300];
    GetDlgItemTextA(mWindow, id, text, sizeof text);
    return text;
}

int BatchWindow::ProgressPosition() const {
    platform::WindowView view;
    platform::InspectWindow(GetDlgItem(mWindow, IDC_PROGRESS), &view);
    return view.position;
}

std::string Joined(const std::string& dir, const std::string& name) { return dir + "/" + name; }
