#include "fuzz/HeadlessWindow.h"

#include "ui/Globals.h"
#include "ui/HeadlessMainWindow.h"

#include <cstdlib>

HeadlessWindow::HeadlessWindow() {
    mWindow = MakeHeadlessMainWindow();
    if (!mWindow) std::abort();
}

HeadlessWindow::~HeadlessWindow() {
    DestroyHeadlessMainWindow(mWindow);
}

std::string HeadlessWindow::FileName() const {
    char text[300];
    GetDlgItemTextA(mWindow, IDC_FILENAME, text, sizeof text);
    return text;
}

void HeadlessWindow::SetFileName(const char* text) { SetDlgItemTextA(mWindow, IDC_FILENAME, text); }
