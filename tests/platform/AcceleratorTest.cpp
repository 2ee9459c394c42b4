#include "tests/platform/Recorder.h"

#include "platform/user/Input.h"
#include "platform/user/DisplayDriver.h"
#include "resources/ProgramResources.h"

#include <iterator>
#include <memory>

namespace {

// The key messages waiting now, each given to TranslateAcceleratorA for `target` and, when it
// was not a command, handled the usual way (as the program's loop does).
int PumpThroughTable(HWND target, HACCEL table) {
    int translated = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (TranslateAcceleratorA(target, table, &msg)) {
            ++translated;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return translated;
}

std::vector<WPARAM> Commands(HWND window) {
    std::vector<WPARAM> commands;
    for (const SeenMessage& m : Recorder::Log()) {
        if (m.window == window && m.message == WM_COMMAND) {
            if (HIWORD(m.wParam) == 1) {
                EXPECT_EQ(m.lParam, 0); // an accelerator's command
            }
            commands.push_back(m.wParam);
        }
    }
    return commands;
}

// A display whose message box tries the Escape key on the main window while it is up.
class KeyDuringBox : public platform::display::Backend {
public:
    KeyDuringBox(HWND target, HACCEL table) : mTarget(target), mTable(table) {}
    void WindowChanged(HWND) override {}
    int ShowMessageBox(HWND, const char*, const char*, UINT) override {
        MSG escape{mTarget, WM_KEYDOWN, VK_ESCAPE, 1, 0, {0, 0}};
        translatedWhileUp = TranslateAcceleratorA(mTarget, mTable, &escape);
        return IDOK;
    }
    int translatedWhileUp = -1;

private:
    HWND mTarget;
    HACCEL mTable;
};

using Accelerators = WindowTest;

} // namespace

TEST_F(Accelerators, TheMainWindowsKeysBecomeItsCommands) {
    RegisterDialogAndKeys();
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), "DUDEZ");
    ASSERT_TRUE(table);
    const WORD keys[] = {VK_ESCAPE, VK_LEFT, VK_NEXT, VK_PRIOR, VK_RETURN, VK_RIGHT};
    const WORD commands[] = {2, 1003, 1004, 1003, 1, 1004};

    // Whichever window of the thread the key is for, the command goes to the main window.
    HWND main = Keep(MakeRecorderWindow());
    HWND button = MakeChild(main, "button", 1003, "Previous", WS_VISIBLE | WS_TABSTOP);
    SetFocus(button);
    PumpPending();
    for (int i = 0; i < 6; ++i) {
        Recorder::Reset();
        platform::PostKeyPress(main, keys[i]);
        EXPECT_EQ(PumpThroughTable(main, table), 1) << i; // the key-up is no command
        EXPECT_EQ(Commands(main), (std::vector<WPARAM>{MAKEWPARAM(commands[i], 1)})) << i;
    }

    // Other keys stay keys: Space still clicks the focused button (a BN_CLICKED command).
    Recorder::Reset();
    for (UINT other : {VK_UP, VK_DOWN, VK_TAB, VK_HOME, static_cast<UINT>('A')}) {
        platform::PostKeyPress(main, other);
    }
    EXPECT_EQ(PumpThroughTable(main, table), 0);
    EXPECT_TRUE(Commands(main).empty());
    platform::PostKeyPress(main, VK_SPACE);
    EXPECT_EQ(PumpThroughTable(main, table), 0);
    EXPECT_EQ(Commands(main).size(), 1u);
    EXPECT_EQ(LOWORD(Commands(main)[0]), 1003);
    EXPECT_EQ(HIWORD(Commands(main)[0]), BN_CLICKED);
}

TEST_F(Accelerators, ADisabledWindowTakesNoCommands) {
    RegisterDialogAndKeys();
    HACCEL table = LoadAcceleratorsA(nullptr, "DUDEZ");
    HWND main = Keep(MakeRecorderWindow());
    HWND other = Keep(MakeRecorderWindow()); // a window of the thread that is still enabled
    PumpPending();
    Recorder::Reset();

    // While a message box is up over the main window.
    auto display = std::make_unique<KeyDuringBox>(main, table);
    KeyDuringBox* box = display.get();
    std::unique_ptr<platform::display::Backend> previous = platform::display::Install(std::move(display));
    MessageBoxA(main, "x is not a KOB file or corrupted", nullptr, MB_OK);
    std::unique_ptr<platform::display::Backend> mine = platform::display::Install(std::move(previous));
    EXPECT_EQ(box->translatedWhileUp, 0);
    EXPECT_TRUE(IsWindowEnabled(main)); // and afterwards it takes them again

    // Disabled by hand: a key for an enabled window of the thread is no command either.
    EnableWindow(main, FALSE);
    MSG escape{other, WM_KEYDOWN, VK_ESCAPE, 1, 0, {0, 0}};
    EXPECT_EQ(TranslateAcceleratorA(main, table, &escape), 0);
    EXPECT_TRUE(Commands(main).empty());
    EnableWindow(main, TRUE);
    EXPECT_EQ(TranslateAcceleratorA(main, table, &escape), 1);
    EXPECT_EQ(Commands(main), (std::vector<WPARAM>{MAKEWPARAM(2, 1)}));
}

TEST_F(Accelerators, ModifierKeysMustMatchExactly) {
    static const auto keys =
        PackAcceleratorTable({ACCEL{FVIRTKEY | FSHIFT, VK_LEFT, 7}, ACCEL{FVIRTKEY, VK_LEFT, 8}, ACCEL{0, 'q', 9}});
    static const platform::ResourceEntry entries[] = {
        {RT_ACCELERATOR, "TestModifiers", 0, 1031, keys.data(), keys.size()}};
    static const bool registered = (platform::RegisterResources(entries, std::size(entries)), true);
    ASSERT_TRUE(registered);
    HACCEL table = LoadAcceleratorsA(nullptr, "TestModifiers");
    HWND main = Keep(MakeRecorderWindow());
    PumpPending();
    Recorder::Reset();

    platform::PostKeyPress(main, VK_LEFT);
    PumpThroughTable(main, table);
    platform::PostInput(main, WM_KEYDOWN, VK_SHIFT, 1);
    platform::PostKeyPress(main, VK_LEFT);
    PumpThroughTable(main, table);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    platform::PostInput(main, WM_KEYUP, VK_SHIFT, 1);
    platform::PostKeyPress(main, VK_LEFT);
    // A character entry answers to the character, not to the key.
    platform::PostInput(main, WM_CHAR, 'q', 1);
    platform::PostInput(main, WM_CHAR, 'Q', 1);
    PumpThroughTable(main, table);
    EXPECT_EQ(GetKeyState(VK_SHIFT), 0);
    EXPECT_EQ(Commands(main), (std::vector<WPARAM>{MAKEWPARAM(8, 1), MAKEWPARAM(7, 1), MAKEWPARAM(8, 1),
                                                   MAKEWPARAM(9, 1)}));
}

TEST_F(Accelerators, ATableWithoutItsEndMarkIsNotLoaded) {
    static const unsigned char unmarked[] = {0x03, 0, 0x1B, 0, 2, 0, 0, 0};
    static const auto marked = PackAcceleratorTable({ACCEL{FVIRTKEY, VK_F4, 77}});
    static const platform::ResourceEntry entries[] = {
        {RT_ACCELERATOR, "TestUnmarked", 0, 1031, unmarked, sizeof unmarked},
        {RT_ACCELERATOR, nullptr, 4711, 1031, marked.data(), marked.size()},
    };
    static const bool registered = (platform::RegisterResources(entries, std::size(entries)), true);
    ASSERT_TRUE(registered);
    EXPECT_EQ(LoadAcceleratorsA(nullptr, "TestUnmarked"), nullptr);
    EXPECT_EQ(LoadAcceleratorsA(nullptr, "NoSuchTable"), nullptr);
    HACCEL table = LoadAcceleratorsA(nullptr, MAKEINTRESOURCE(4711));
    ASSERT_TRUE(table);
    HWND main = Keep(MakeRecorderWindow());
    PumpPending();
    Recorder::Reset();
    MSG f4{main, WM_KEYDOWN, VK_F4, 1, 0, {0, 0}};
    EXPECT_EQ(TranslateAcceleratorA(main, table, &f4), 1);
    EXPECT_EQ(Commands(main), (std::vector<WPARAM>{MAKEWPARAM(77, 1)}));
}
