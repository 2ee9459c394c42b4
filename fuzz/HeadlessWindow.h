// A stand-in for the main window with the controls a conversion talks to (the file name, the
// total and the progress bar), made the program's gMainWindow. The converter runs on the thread
// that made it, so every send of the progress panel is handled at once, without a message loop.
//
//     HeadlessWindow window;          // once per process
//     window.SetFileName("");         // before a conversion
//     ConvertFile(input, spec, folders, panel);   // panel: a ProgressPanel
//     std::string shown = window.FileName();   // the output named from Start until Clear
#pragma once

#include "platform/Windows.h"

#include <string>

class HeadlessWindow {
public:
    HeadlessWindow();
    ~HeadlessWindow();
    HeadlessWindow(const HeadlessWindow&) = delete;
    HeadlessWindow& operator=(const HeadlessWindow&) = delete;

    std::string FileName() const;
    void SetFileName(const char* text);

private:
    HWND mWindow = nullptr;
};
