#include "ui/ProgressPanel.h"

#include "platform/Windows.h"
#include "platform/user/DisplayDriver.h"
#include "ui/Globals.h"

#include <cstdio>
#include <cstring>

namespace {

// The panel's updates need no answer: they go without waiting for the window thread, in their
// order among the messages sent to it, so whoever asks the window afterwards finds them made.
void ShowText(HWND window, int id, const char* text) {
    SendNotifyMessageA(GetDlgItem(window, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void ShowNumber(HWND window, int id, std::uint32_t value) {
    // Shown signed: a total of 2^31 or more reads as a negative number.
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    ShowText(window, id, text);
}

} // namespace

void ProgressPanel::Start(std::uint32_t total, const std::uint8_t* name) {
    mWindow = gMainWindow;
    mSeen = platform::display::Current().ShowsWindows();
    char text[260];
    std::memcpy(text, name + 1, name[0]);
    text[name[0]] = '\0';
    ShowText(mWindow, IDC_FILENAME, text);
    ShowNumber(mWindow, IDC_TOTAL, total);
    if (mSeen) {
        HWND bar = GetDlgItem(mWindow, IDC_PROGRESS);
        // Nothing else sets them: once per window is enough.
        if (mPrepared != mWindow) {
            SendNotifyMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
            SendNotifyMessageA(bar, PBM_SETSTEP, 1, 0);
            mPrepared = mWindow;
        }
        SendNotifyMessageA(bar, PBM_SETPOS, 0, 0);
    }
    // A window already shown would be shown again for nothing, after a wait for its thread.
    if (!IsWindowVisible(mWindow)) ShowWindow(mWindow, SW_SHOW);
    mDone = 0;
    mTotal = total;
    mShown = 0;
}

int ProgressPanel::Position(std::uint32_t done, std::uint32_t total) {
    if (total == 0) return 0;
    // WATCHOUT: divide first, then scale: 0.29 * 100 lies just below 29, and the bar shows 28.
    // The bar clamps to its range, so the value may pass 100 when more is done than announced.
    const double position = static_cast<double>(done) / static_cast<double>(total) * 100.0;
    if (position >= 2147483647.0) return 2147483647; // far past the total: still a full bar
    return static_cast<int>(position);
}

void ProgressPanel::Update(std::uint32_t amount) {
    mDone += amount;
    const int position = Position(mDone, mTotal);
    if (position == mShown) return;
    mShown = position;
    if (!mSeen) return;
    SendNotifyMessageA(GetDlgItem(mWindow, IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void ProgressPanel::Clear() {
    ShowText(mWindow, IDC_FILENAME, "");
    ShowNumber(mWindow, IDC_TOTAL, 0);
}
