#include "platform/display/Headless.h"

#include "platform/user/UserMessageBox.h"

#include <cstdio>

namespace platform::display {

int HeadlessBackend::ShowMessageBox(HWND, const char* text, const char* caption, UINT) {
    // One write, so that lines of boxes from two threads never mix.
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    return IDOK;
}

} // namespace platform::display
