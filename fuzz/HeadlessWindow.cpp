#include "fuzz/HeadlessWindow.h"

#include "ui/Globals.h"

#include <cstdint>
#include <cstdlib>

namespace {

HMENU ControlId(int id) { return reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)); }

} // namespace

HeadlessWindow::HeadlessWindow() {
    InitCommonControls();
    WNDCLASSA main{};
    main.lpfnWndProc = DefWindowProcA;
    main.lpszClassName = "FuzzMain";
    if (!RegisterClassA(&main)) std::abort();
    mWindow = CreateWindowExA(0, "FuzzMain", "fuzz", 0, 0, 0, 430, 240, nullptr, nullptr, nullptr, nullptr);
    if (!mWindow) std::abort();
    CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 14, 196, 244, 28, mWindow,
                    ControlId(IDC_PROGRESS), nullptr, nullptr);
    CreateWindowExA(0, "static", "", WS_CHILD | WS_VISIBLE, 14, 168, 180, 16, mWindow,
                    ControlId(IDC_FILENAME), nullptr, nullptr);
    CreateWindowExA(0, "static", "", WS_CHILD | WS_VISIBLE, 198, 168, 58, 16, mWindow,
                    ControlId(IDC_TOTAL), nullptr, nullptr);
    gMainWindow = mWindow;
}

HeadlessWindow::~HeadlessWindow() {
    gMainWindow = nullptr;
    DestroyWindow(mWindow);
}

std::string HeadlessWindow::FileName() const {
    char text[300];
    GetDlgItemTextA(mWindow, IDC_FILENAME, text, sizeof text);
    return text;
}

void HeadlessWindow::SetFileName(const char* text) { SetDlgItemTextA(mWindow, IDC_FILENAME, text); }
