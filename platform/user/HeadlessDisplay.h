// The display for a program that nobody watches: it draws nothing, and it writes each message
// box to standard error as one line "<caption>: <text>", counting it as answered with OK at once.
// It is the window layer's own, in use until a display is installed.
#pragma once

#include "platform/user/DisplayDriver.h"

namespace platform::display {

class HeadlessBackend : public Backend {
public:
    void WindowChanged(HWND) override {}
    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style) override;
};

// The same for a run that nobody watches, which paints nothing. (Until a display is installed,
// the headless one still paints, for the tests that read what was drawn.) A text that changes
// is told to the stand-in user (HeadlessUser.h), which then looks whether the run may end.
class UnwatchedBackend : public HeadlessBackend {
public:
    bool ShowsWindows() const override { return false; }
    void TextChanged(HWND window) override;
};

} // namespace platform::display
