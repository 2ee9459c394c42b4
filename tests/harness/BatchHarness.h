// A headless stand-in for the main window, and a way to run the batch driver against it.
//
//     BatchWindow window;                         // controls 1000, 1001, 1002 and 3; gMainWindow
//     BatchRun run = window.Run("a.kob b.kob");   // worker thread, messages pumped until done
//     EXPECT_EQ(run.stderrText, "...");
//
// The worker runs through _beginthread exactly as in the program; the test thread owns the window
// and handles the worker's sends while it waits for UM_BATCHDONE.
#pragma once

#include "platform/Windows.h"

#include <string>
#include <vector>

struct BatchRun {
    bool finished = false;                   // UM_BATCHDONE arrived before the timeout
    std::string stdoutText;
    std::string stderrText;
    std::vector<std::string> fileNameTexts;  // every text control 1002 was given, in order
    std::vector<std::string> totalTexts;     // the same for control 1001
};

class BatchWindow {
public:
    BatchWindow();
    ~BatchWindow();
    BatchWindow(const BatchWindow&) = delete;
    BatchWindow& operator=(const BatchWindow&) = delete;

    BatchRun Run(const std::string& commandLine, int timeoutMs = 60000);

    HWND Handle() const { return mWindow; }
    std::string ControlText(int id) const;
    int ProgressPosition() const;

private:
    HWND mWindow = nullptr;
};

// A file name as the converter would show it: the input's directory and the output's name.
std::string Joined(const std::string& dir, const std::string& name);
