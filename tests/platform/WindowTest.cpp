#include "tests/platform/Recorder.h"

#include "platform/user/Model.h"

#include <string>

namespace {

std::string TextOf(HWND window) {
    platform::WindowView view;
    return platform::InspectWindow(window, &view) ? view.text : "<gone>";
}

} // namespace

using Windows = WindowTest;

TEST_F(Windows, CreationAndDestructionReachTheProceduresInOrder) {
    HWND top = MakeRecorderWindow("top");
    HWND child = MakeChild(top, "Recorder", 1002, "piano.wav");
    ASSERT_TRUE(top && child);
    EXPECT_EQ(TextOf(top), "top"); // set by the default processing of WM_NCCREATE
    EXPECT_EQ(GetDlgItem(top, 1002), child);
    EXPECT_EQ(GetDlgCtrlID(child), 1002);
    EXPECT_EQ(GetParent(child), top);

    // While the parent hears of its destruction, its children are still there to be read.
    std::string readDuringDestroy;
    Recorder::React(WM_DESTROY, [&](HWND window, WPARAM, LPARAM) -> LRESULT {
        if (window == top) {
            char name[260];
            GetDlgItemTextA(top, 1002, name, sizeof name);
            readDuringDestroy = name;
        }
        return 0;
    });
    EXPECT_TRUE(DestroyWindow(top));
    EXPECT_EQ(readDuringDestroy, "piano.wav");

    std::vector<std::pair<HWND, UINT>> seen;
    for (const SeenMessage& m : Recorder::Log()) {
        if (m.message == WM_DESTROY || m.message == WM_NCDESTROY) seen.emplace_back(m.window, m.message);
    }
    const std::vector<std::pair<HWND, UINT>> expected{
        {top, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {top, WM_NCDESTROY}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(Recorder::MessagesOf(child, {WM_DESTROY, WM_NCDESTROY, WM_PAINT}),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_GETTEXT}));

    // Handles of destroyed windows are never reused; every call on them fails quietly.
    EXPECT_FALSE(IsWindow(top));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(DestroyWindow(top));
    EXPECT_EQ(SendMessageA(child, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(child, WM_USER, 0, 0));
    char buffer[8] = "junk";
    EXPECT_EQ(GetDlgItemTextA(top, 1002, buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
}

TEST_F(Windows, CreationCanBeRefusedAndNeedsAKnownClassAndParent) {
    Recorder::React(WM_CREATE, [](HWND, WPARAM, LPARAM) -> LRESULT { return -1; });
    const std::size_t before = platform::TopLevelWindows().size();
    EXPECT_EQ(MakeRecorderWindow(), nullptr);
    EXPECT_EQ(platform::TopLevelWindows().size(), before);
    Recorder::Reset();

    HWND top = Keep(MakeRecorderWindow());
    EXPECT_EQ(MakeChild(top, "NoSuchClass", 1), nullptr);
    EXPECT_EQ(MakeChild(nullptr, "static", 1), nullptr); // a child without a parent
    // Class names are compared without regard to case.
    HWND label = MakeChild(top, "STATIC", 7, "x");
    ASSERT_NE(label, nullptr);
    platform::WindowView view;
    ASSERT_TRUE(platform::InspectWindow(label, &view));
    EXPECT_EQ(view.className, "Static");
}

TEST_F(Windows, ClassesRegisterOnceAndUnregisterOnlyWithoutWindows) {
    WNDCLASSA record{};
    record.lpfnWndProc = DefWindowProcA;
    record.lpszClassName = "Plain";
    EXPECT_NE(RegisterClassA(&record), 0);
    EXPECT_EQ(RegisterClassA(&record), 0);
    HWND plain = CreateWindowExA(0, "plain", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                 nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(UnregisterClassA("Plain", nullptr));
    DestroyWindow(plain);
    EXPECT_TRUE(UnregisterClassA("Plain", nullptr));
    EXPECT_FALSE(UnregisterClassA("Plain", nullptr));
    EXPECT_FALSE(UnregisterClassA("button", nullptr)); // the system's own
}

TEST_F(Windows, ItemTextsKeepToTheBufferSize) {
    HWND top = Keep(MakeRecorderWindow());
    MakeChild(top, "static", 1002, "abcdef");
    char buffer[8];
    EXPECT_EQ(GetDlgItemTextA(top, 1002, buffer, 4), 3u);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(GetDlgItemTextA(top, 1002, buffer, 7), 6u);
    EXPECT_STREQ(buffer, "abcdef");
    EXPECT_EQ(GetDlgItemTextA(top, 1002, buffer, 1), 0u);
    EXPECT_STREQ(buffer, "");
    buffer[0] = 'x';
    EXPECT_EQ(GetDlgItemTextA(top, 1002, buffer, 0), 0u); // nothing may be written at all
    EXPECT_EQ(buffer[0], 'x');

    EXPECT_TRUE(SetDlgItemTextA(top, 1002, ""));
    EXPECT_EQ(GetDlgItemTextA(top, 1002, buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_TRUE(SendMessageA(GetDlgItem(top, 1002), WM_SETTEXT, 0, 0));
    EXPECT_EQ(SendMessageA(GetDlgItem(top, 1002), WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_FALSE(SetDlgItemTextA(top, 999, "nowhere"));
    EXPECT_EQ(GetDlgItemTextA(top, 999, buffer, sizeof buffer), 0u);
}

TEST_F(Windows, ItemNumbersAreShownSignedOrUnsigned) {
    HWND top = Keep(MakeRecorderWindow());
    MakeChild(top, "static", 1001);
    const UINT big = 0x80000005u; // 2^31 + 5
    char buffer[16];
    SetDlgItemInt(top, 1001, big, TRUE);
    GetDlgItemTextA(top, 1001, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "-2147483643");

    SetDlgItemInt(top, 1001, big, FALSE);
    GetDlgItemTextA(top, 1001, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "2147483653");
}

TEST_F(Windows, ShowEnableAndFocusTellTheProcedure) {
    HWND top = Keep(MakeRecorderWindow());
    HWND a = MakeChild(top, "Recorder", 1, "", 0); // hidden
    HWND b = MakeChild(top, "Recorder", 2);
    EXPECT_FALSE(Seen(a));
    EXPECT_FALSE(ShowWindow(a, SW_SHOW));
    EXPECT_TRUE(ShowWindow(a, SW_SHOW)); // no change, no message
    EXPECT_TRUE(Seen(a));
    ShowWindow(top, SW_HIDE);
    EXPECT_FALSE(Seen(a)); // seen only when its parent is
    ShowWindow(top, SW_SHOW);

    EXPECT_EQ(SetFocus(a), nullptr);
    EXPECT_EQ(SetFocus(b), a);
    EXPECT_EQ(FocusedIn(top), b);
    // A disabled window loses the focus.
    EXPECT_FALSE(EnableWindow(b, FALSE));
    EXPECT_TRUE(EnableWindow(b, FALSE));
    EXPECT_FALSE(IsWindowEnabled(b));
    EXPECT_EQ(FocusedIn(top), nullptr);
    EXPECT_TRUE(EnableWindow(b, TRUE));

    const std::vector<UINT> ignored{WM_NCCREATE, WM_CREATE, WM_PAINT};
    EXPECT_EQ(Recorder::MessagesOf(a, ignored), (std::vector<UINT>{WM_SHOWWINDOW, WM_SETFOCUS, WM_KILLFOCUS}));
    EXPECT_EQ(Recorder::MessagesOf(b, ignored),
              (std::vector<UINT>{WM_SETFOCUS, WM_KILLFOCUS, WM_ENABLE, WM_ENABLE}));
    EXPECT_EQ(Recorder::MessagesOf(top, ignored), (std::vector<UINT>{WM_SHOWWINDOW, WM_SHOWWINDOW}));
}

TEST_F(Windows, CloseDestroysByDefault) {
    HWND top = MakeRecorderWindow();
    PostMessageA(top, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(top); }));
    EXPECT_TRUE(Recorder::Saw(top, WM_DESTROY));
}
