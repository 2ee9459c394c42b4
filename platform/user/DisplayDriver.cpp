#include "platform/user/DisplayDriver.h"

#include "platform/user/HeadlessDisplay.h"
#include "platform/user/HeadlessUser.h"
#include "platform/user/Window.h"
#include "platform/user/WindowClass.h"
#include "platform/runtime/SameName.h"
#include "platform/user/UserMessageBox.h"
#include "platform/runtime/NeverDestroyed.h"
#include "platform/text/EscapedName.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace platform::display {
namespace {

HeadlessBackend& BuiltIn() {
    static platform::NeverDestroyed<HeadlessBackend> object;
    return object.get();
}

std::atomic<Backend*>& InUse() {
    static std::atomic<Backend*> inUse{&BuiltIn()};
    return inUse;
}

} // namespace

int HeadlessBackend::ShowMessageBox(HWND, const char* text, const char* caption, UINT) {
    // One write, so that lines of boxes from two threads never mix. The text names a file: a
    // newline or an escape sequence in it must neither split the line nor reach the terminal.
    std::fprintf(stderr, "%s: %s\n", EscapeName(caption, NameUse::Message).c_str(),
                 EscapeName(text, NameUse::Message).c_str());
    std::fflush(stderr);
    return IDOK;
}

void UnwatchedBackend::TextChanged(HWND window) {
    // A headless run ends when the button's text says it may: its stand-in user looks at once.
    // Only a button's text can say so; waking it for every other text (a batch names each file
    // and its total twice) would cost a round of its key press through the window thread each.
    bool button = false;
    {
        user::ModelLock lock(user::ModelMutex());
        const user::Window* record = user::Find(window);
        button = record && record->windowClass && SameName(record->windowClass->name.c_str(), "button");
    }
    if (button) WakeHeadlessUser();
}

Backend& Current() {
    return *InUse().load(std::memory_order_acquire);
}

std::unique_ptr<Backend> Install(std::unique_ptr<Backend> backend) {
    static std::mutex installing;
    std::lock_guard<std::mutex> lock(installing);
    Backend* next = backend ? backend.release() : &BuiltIn();
    Backend* previous = InUse().exchange(next, std::memory_order_acq_rel);
    return std::unique_ptr<Backend>(previous == &BuiltIn() ? nullptr : previous);
}

} // namespace platform::display
