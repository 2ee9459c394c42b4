// The display for a program that nobody watches: it draws nothing, and it writes each message
// box to standard error as one line "<caption>: <text>", counting it as answered with OK at once.
#pragma once

#include "platform/display/Backend.h"

namespace platform::display {

class HeadlessBackend : public Backend {
public:
    void WindowChanged(HWND) override {}
    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style) override;
};

} // namespace platform::display
