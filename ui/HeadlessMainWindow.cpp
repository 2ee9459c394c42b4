#include "ui/HeadlessMainWindow.h"

#include "platform/Windows.h"
#include "ui/Globals.h"

#include <atomic>
#include <cstdint>

namespace {

std::atomic<WNDPROC> gMainProcedure{nullptr};
std::atomic<WNDPROC> gTextProcedure{nullptr};

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC procedure = gMainProcedure.load();
    return (procedure ? procedure : DefWindowProcA)(window, message, wParam, lParam);
}

LRESULT CALLBACK TextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC procedure = gTextProcedure.load();
    return (procedure ? procedure : DefWindowProcA)(window, message, wParam, lParam);
}

// The classes are registered once; the procedures they hand on to may change.
bool RegisterClasses() {
    static const bool registered = [] {
        WNDCLASSA main{};
        main.lpfnWndProc = MainProc;
        main.lpszClassName = "HeadlessMain";
        WNDCLASSA text{};
        text.lpfnWndProc = TextProc;
        text.lpszClassName = "HeadlessText";
        return RegisterClassA(&main) != 0 && RegisterClassA(&text) != 0;
    }();
    return registered;
}

HMENU ControlId(int id) {
    return reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id));
}

} // namespace

HWND MakeHeadlessMainWindow(WNDPROC procedure, WNDPROC textProcedure) {
    InitCommonControls();
    gMainProcedure = procedure;
    gTextProcedure = textProcedure;
    if (!RegisterClasses()) return nullptr;
    HWND window = CreateWindowExA(0, "HeadlessMain", "DUDEZ", WS_VISIBLE, 0, 0, 430, 240, nullptr, nullptr,
                                  nullptr, nullptr);
    if (!window) return nullptr;
    CreateWindowExA(0, PROGRESS_CLASSA, "Progress", WS_CHILD | WS_VISIBLE, 14, 196, 244, 28, window,
                    ControlId(IDC_PROGRESS), nullptr, nullptr);
    CreateWindowExA(0, "HeadlessText", "", WS_CHILD | WS_VISIBLE, 14, 168, 180, 16, window,
                    ControlId(IDC_FILENAME), nullptr, nullptr);
    CreateWindowExA(0, "HeadlessText", "", WS_CHILD | WS_VISIBLE, 198, 168, 58, 16, window,
                    ControlId(IDC_TOTAL), nullptr, nullptr);
    CreateWindowExA(0, "button", "Abort", WS_CHILD | WS_VISIBLE, 346, 196, 68, 28, window,
                    ControlId(IDC_ABORT), nullptr, nullptr);
    gMainWindow = window;
    return window;
}

void DestroyHeadlessMainWindow(HWND window) {
    if (gMainWindow == window) gMainWindow = nullptr;
    DestroyWindow(window);
}
