#include "tests/platform/Recorder.h"

#include "platform/user/Model.h"

#include <chrono>
#include <map>
#include <mutex>

namespace {

std::mutex gMutex;
std::vector<SeenMessage> gLog;
std::map<UINT, Recorder::Reaction> gReactions;

LRESULT RecorderProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Recorder::Reaction reaction;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        gLog.push_back({window, message, wParam, lParam, std::this_thread::get_id()});
        auto found = gReactions.find(message);
        if (found != gReactions.end()) reaction = found->second;
    }
    return reaction ? reaction(window, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

void RegisterRecorderClass() {
    static const ATOM atom = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = RecorderProcedure;
        windowClass.lpszClassName = "Recorder";
        return RegisterClassA(&windowClass);
    }();
    (void)atom;
}

} // namespace

namespace Recorder {

void Reset() {
    std::lock_guard<std::mutex> lock(gMutex);
    gLog.clear();
    gReactions.clear();
}

void React(UINT message, Reaction reaction) {
    std::lock_guard<std::mutex> lock(gMutex);
    gReactions[message] = std::move(reaction);
}

std::vector<SeenMessage> Log() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gLog;
}

std::vector<UINT> MessagesOf(HWND window, const std::vector<UINT>& ignored) {
    std::vector<UINT> messages;
    for (const SeenMessage& seen : Log()) {
        if (seen.window != window) continue;
        bool skip = false;
        for (UINT message : ignored) skip = skip || message == seen.message;
        if (!skip) messages.push_back(seen.message);
    }
    return messages;
}

bool Saw(HWND window, UINT message) {
    for (const SeenMessage& seen : Log()) {
        if (seen.window == window && seen.message == message) return true;
    }
    return false;
}

} // namespace Recorder

HWND MakeRecorderWindow(const char* text, RECT place) {
    RegisterRecorderClass();
    return CreateWindowExA(0, "Recorder", text, WS_POPUP | WS_VISIBLE, place.left, place.top,
                           place.right - place.left, place.bottom - place.top, nullptr, nullptr,
                           nullptr, nullptr);
}

HWND MakeChild(HWND parent, const char* className, int id, const char* text, DWORD style) {
    RegisterRecorderClass();
    return CreateWindowExA(0, className, text, WS_CHILD | style, 10, 10, 50, 20, parent,
                           reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    MSG msg;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return true;
}

void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

HWND FocusedIn(HWND top) {
    platform::WindowView view;
    if (platform::InspectWindow(top, &view) && view.focused) return top;
    for (HWND child : platform::ChildWindows(top)) {
        if (HWND focused = FocusedIn(child)) return focused;
    }
    return nullptr;
}

bool Seen(HWND window) {
    platform::WindowView view;
    if (!platform::InspectWindow(window, &view) || !view.visible) return false;
    return !(view.style & WS_CHILD) || Seen(view.parent);
}
