#include "ui/ProgressPanel.h"

#include "platform/Windows.h"
#include "platform/user/DisplayDriver.h"
#include "ui/Globals.h"

#include <cstring>

void ProgressPanel::Start(std::uint32_t total, const std::uint8_t* name) {
    mWindow = gMainWindow;
    mSeen = platform::display::Current().ShowsWindows();
    char text[260];
    std::memcpy(text, name + 1, name[0]);
    text[name[0]] = '\0';
    SetDlgItemTextA(mWindow, IDC_FILENAME, text);
    // Shown signed: a total of 2^31 or more reads as a negative number.
    SetDlgItemInt(mWindow, IDC_TOTAL, total, TRUE);
    if (mSeen) {
        HWND bar = GetDlgItem(mWindow, IDC_PROGRESS);
        // Nothing else sets them: once per window is enough.
        if (mPrepared != mWindow) {
            SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
            SendMessageA(bar, PBM_SETSTEP, 1, 0);
            mPrepared = mWindow;
        }
        SendMessageA(bar, PBM_SETPOS, 0, 0);
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
    HWND bar = GetDlgItem(mWindow, IDC_PROGRESS);
    SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void ProgressPanel::Clear() {
    SetDlgItemTextA(mWindow, IDC_FILENAME, "");
    SetDlgItemInt(mWindow, IDC_TOTAL, 0, TRUE);
}
