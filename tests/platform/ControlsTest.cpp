#include "tests/platform/Recorder.h"

#include "platform/user/Input.h"
#include "platform/user/Model.h"

using Controls = WindowTest;

namespace {

platform::WindowView View(HWND window) {
    platform::WindowView view;
    platform::InspectWindow(window, &view);
    return view;
}

// The WM_COMMAND messages the parent got, as (wParam, lParam).
std::vector<std::pair<WPARAM, LPARAM>> Commands(HWND parent) {
    std::vector<std::pair<WPARAM, LPARAM>> commands;
    for (const SeenMessage& seen : Recorder::Log()) {
        if (seen.window == parent && seen.message == WM_COMMAND) commands.emplace_back(seen.wParam, seen.lParam);
    }
    return commands;
}

} // namespace

TEST_F(Controls, ProgressBarKeepsItsPositionInsideTheRange) {
    InitCommonControls();
    HWND top = Keep(MakeRecorderWindow());
    HWND bar = MakeChild(top, PROGRESS_CLASSA, 1000, "Progress");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(SendMessageA(bar, PBM_SETSTEP, 1, 0), 10); // the previous step
    EXPECT_EQ(View(bar).rangeLow, 0);
    EXPECT_EQ(View(bar).rangeHigh, 100);

    EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 150, 0), 0);
    EXPECT_EQ(View(bar).position, 100);
    SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(-7), 0);
    EXPECT_EQ(View(bar).position, 0);
    EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 60, 0), 0);

    // A new range takes the position with it; the old range comes back as low and high words.
    EXPECT_EQ(SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(10, 50)), MAKELPARAM(0, 100));
    EXPECT_EQ(View(bar).position, 50);
    SendMessageA(bar, PBM_SETPOS, 3, 0);
    EXPECT_EQ(View(bar).position, 10);
    // The 16-bit halves are unsigned: up to 65535.
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 65535));
    SendMessageA(bar, PBM_SETPOS, 40000, 0);
    const platform::WindowView view = View(bar);
    EXPECT_EQ(view.position, 40000);
    EXPECT_EQ(view.rangeHigh, 65535);
    EXPECT_EQ(view.text, "Progress");
}

TEST_F(Controls, ButtonClickedByMouseOrSpaceTellsItsParent) {
    HWND top = Keep(MakeRecorderWindow());
    HWND button = MakeChild(top, "button", 3, "Abort", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
    const std::pair<WPARAM, LPARAM> click{MAKEWPARAM(3, BN_CLICKED), reinterpret_cast<LPARAM>(button)};

    platform::PostClick(button);
    PumpPending();
    EXPECT_EQ(Commands(top), (std::vector<std::pair<WPARAM, LPARAM>>{click}));
    EXPECT_EQ(FocusedIn(top), button); // a click takes the focus
    EXPECT_FALSE(View(button).pushed);

    // Space while it has the focus: pressed on the way down, clicked on the way up.
    platform::PostInput(button, WM_KEYDOWN, VK_SPACE, 1);
    PumpPending();
    EXPECT_TRUE(View(button).pushed);
    EXPECT_TRUE(View(button).focused);
    platform::PostInput(button, WM_KEYUP, VK_SPACE, 1);
    PumpPending();
    EXPECT_EQ(Commands(top).size(), 2u);

    // Keys for the top window go to the focus below it.
    platform::PostKeyPress(top, VK_SPACE);
    PumpPending();
    EXPECT_EQ(Commands(top).size(), 3u);
}

TEST_F(Controls, ButtonPressesThatEndElsewhereDoNotClick) {
    HWND top = Keep(MakeRecorderWindow());
    HWND button = MakeChild(top, "button", 3, "Abort");
    HWND other = MakeChild(top, "button", 4, "Next");
    // Released outside the button.
    platform::PostInput(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    platform::PostInput(button, WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
    // Pressed, then the focus moves away before the release.
    platform::PostInput(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PumpPending();
    SetFocus(other);
    EXPECT_FALSE(View(button).pushed);
    platform::PostInput(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PumpPending();
    EXPECT_TRUE(Commands(top).empty());
}

TEST_F(Controls, DisabledWindowsTakeNoInput) {
    HWND top = Keep(MakeRecorderWindow());
    HWND button = MakeChild(top, "button", 3, "Abort");
    EnableWindow(button, FALSE);
    platform::PostClick(button);
    PumpPending();
    EXPECT_TRUE(Commands(top).empty());
    EXPECT_NE(FocusedIn(top), button);

    // A disabled parent shuts out its children too, and its own keys.
    EnableWindow(button, TRUE);
    EnableWindow(top, FALSE);
    platform::PostClick(button);
    platform::PostKeyPress(top, VK_ESCAPE);
    PumpPending();
    EXPECT_TRUE(Commands(top).empty());
    EXPECT_FALSE(Recorder::Saw(top, WM_KEYDOWN));

    EnableWindow(top, TRUE);
    platform::PostClick(button);
    platform::PostKeyPress(top, VK_ESCAPE);
    PumpPending();
    EXPECT_EQ(Commands(top).size(), 1u);
}

TEST_F(Controls, TextChangesAskForPaintingOnlyWhileVisible) {
    HWND top = Keep(MakeRecorderWindow());
    HWND label = MakeChild(top, "static", 1002, "", WS_VISIBLE | SS_LEFT);
    PumpPending();
    EXPECT_FALSE(View(label).needsPaint);
    SetDlgItemTextA(top, 1002, "piano.wav");
    EXPECT_TRUE(View(label).needsPaint);
    PumpPending();
    EXPECT_FALSE(View(label).needsPaint);

    ShowWindow(top, SW_HIDE);
    SetDlgItemTextA(top, 1002, "organ.wav");
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    ShowWindow(top, SW_SHOW);
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}
