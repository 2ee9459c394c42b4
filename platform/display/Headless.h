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

// The same for a run that nobody watches, which paints nothing. (Until a display is installed,
// the headless one still paints, for the tests that read what was drawn.)
class UnwatchedBackend : public HeadlessBackend {
public:
    bool ShowsWindows() const override { return false; }
};

} // namespace platform::display
