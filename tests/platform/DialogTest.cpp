#include "tests/platform/Recorder.h"

#include "platform/user/DialogTemplate.h"
#include "platform/user/Model.h"
#include "resources/ProgramResources.h"

#include <strings.h>

#include <iterator>
#include <string>

namespace {

// What the stand-in for the program's own window class saw.
std::vector<SeenMessage> gMainMessages;

LRESULT MainStandIn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    gMainMessages.push_back({window, message, wParam, lParam, std::this_thread::get_id()});
    return DefWindowProcA(window, message, wParam, lParam);
}

// The class the template names, as the shell registers it (with a stand-in procedure).
void RegisterMainClass() {
    WNDCLASSA windowClass{};
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = MainStandIn;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.lpszClassName = "DUDEZ";
    RegisterClassA(&windowClass);
}

platform::WindowView View(HWND window) {
    platform::WindowView view;
    platform::InspectWindow(window, &view);
    return view;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct ExpectedControl {
    int id;
    const char* className;
    DWORD style;
    RECT pixels;
    const char* text;
};

constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

// The main window's controls in creation order; a dialog unit is 2 x 2 pixels in its font.
const ExpectedControl kControls[] = {
    {1000, "msctls_progress32", WS_CHILD | WS_VISIBLE | WS_BORDER, {14, 196, 258, 224}, "Progress"},
    {1002, "static", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_SUNKEN | SS_LEFT, {14, 168, 194, 184}, ""},
    {1001, "static", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_SUNKEN | SS_RIGHT, {198, 168, 256, 184}, ""},
    {1003, "button", kButton, {272, 162, 340, 190}, "Previous"},
    {1004, "button", kButton, {346, 162, 414, 190}, "Next"},
    {1005, "static", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, {14, 14, 414, 134}, ""},
    {3, "button", kButton, {346, 196, 414, 224}, "Abort"},
    {1007, "static", WS_CHILD | WS_VISIBLE | SS_LEFT, {14, 142, 414, 158},
     "(c) MORVIT: restores your KOB recordings"},
};

class Dialogs : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        gMainMessages.clear();
        RegisterDialogAndKeys();
        RegisterMainClass();
    }
    void TearDown() override {
        WindowTest::TearDown();
        UnregisterClassA("DUDEZ", nullptr);
    }
};

INT_PTR gInitResult = 0;
std::vector<std::pair<UINT, WPARAM>> gDialogMessages;

INT_PTR TestDialogProcedure(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        gDialogMessages.emplace_back(message, static_cast<WPARAM>(lParam));
        return gInitResult;
    }
    if (message == WM_COMMAND) gDialogMessages.emplace_back(message, wParam);
    return FALSE;
}

} // namespace

TEST_F(Dialogs, MainWindowComesFromItsTemplate) {
    HWND main = Keep(CreateDialogParamA(GetModuleHandleA(nullptr), "DUDEZ", nullptr, nullptr, 0));
    ASSERT_TRUE(main);
    const platform::WindowView view = View(main);
    EXPECT_EQ(view.className, "DUDEZ");
    EXPECT_EQ(view.text, "MORVIT DuDEZ Version 1.0.1");
    EXPECT_EQ(view.style,
              WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK);
    EXPECT_TRUE(SameRect(view.rect, RECT{0, 0, 430, 238})); // 215 x 119 units, at the top left
    EXPECT_EQ(view.parent, nullptr);
    EXPECT_TRUE(Seen(main));

    const std::vector<HWND> children = platform::ChildWindows(main);
    ASSERT_EQ(children.size(), std::size(kControls));
    for (std::size_t i = 0; i < children.size(); ++i) {
        const ExpectedControl& expected = kControls[i];
        const platform::WindowView control = View(children[i]);
        SCOPED_TRACE(expected.id);
        EXPECT_EQ(control.id, expected.id);
        EXPECT_EQ(strcasecmp(control.className.c_str(), expected.className), 0) << control.className;
        EXPECT_EQ(control.style, expected.style);
        EXPECT_TRUE(SameRect(control.rect, expected.pixels))
            << control.rect.left << "," << control.rect.top << "," << control.rect.right << "," << control.rect.bottom;
        EXPECT_EQ(control.text, expected.text);
        EXPECT_EQ(GetDlgItem(main, expected.id), children[i]);
    }
    // The credit line fits its control at the font's average character width.
    EXPECT_LE(8 * std::string(kControls[7].text).size(), 400u);

    // The window's own procedure heard WM_INITDIALOG with the first control that takes the focus;
    // its default processing declined the focus, so none was set.
    bool sawInit = false;
    for (const SeenMessage& m : gMainMessages) {
        if (m.message == WM_INITDIALOG) {
            sawInit = true;
            EXPECT_EQ(m.wParam, reinterpret_cast<WPARAM>(GetDlgItem(main, 1003)));
        }
    }
    EXPECT_TRUE(sawInit);
    EXPECT_EQ(FocusedIn(main), nullptr);

    // The font and the rest of the record, read back from the resource.
    HRSRC found = FindResourceA(nullptr, "dudez", RT_DIALOG);
    ASSERT_TRUE(found);
    platform::DialogLayout layout;
    ASSERT_TRUE(platform::ReadDialogTemplate(LockResource(LoadResource(nullptr, found)),
                                             SizeofResource(nullptr, found), &layout));
    EXPECT_EQ(layout.font, "MS Sans Serif");
    EXPECT_EQ(layout.pointSize, 10);
    EXPECT_EQ(layout.exStyle, 0u);
    EXPECT_FALSE(layout.hasMenu);
    for (const platform::DialogItemLayout& item : layout.items) EXPECT_EQ(item.exStyle, 0u);
}

TEST_F(Dialogs, DamagedTemplatesMakeNoWindow) {
    HRSRC found = FindResourceA(nullptr, "DUDEZ", RT_DIALOG);
    ASSERT_TRUE(found);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
    const std::size_t size = SizeofResource(nullptr, found);
    const std::size_t windowsBefore = platform::TopLevelWindows().size();
    // Every cut-off template: nothing may be read past its end, and no window may be left over.
    for (std::size_t cut = 0; cut < size; ++cut) {
        const std::vector<unsigned char> part(bytes, bytes + cut);
        platform::DialogLayout layout;
        EXPECT_FALSE(platform::ReadDialogTemplate(part.data(), part.size(), &layout)) << cut;
        EXPECT_EQ(CreateDialogIndirectParamA(nullptr, part.data(), part.size(), nullptr, nullptr, 0), nullptr);
    }
    EXPECT_EQ(platform::TopLevelWindows().size(), windowsBefore);

    // A control of a class nobody registered fails the whole window, unless the template says
    // the window may do without it.
    const platform::DialogItemSpec items[] = {
        {1, "button", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, "OK"},
        {2, "NoSuchClass", WS_CHILD | WS_VISIBLE, 0, 20, 10, 10, ""},
    };
    platform::DialogSpec spec{WS_POPUP, 0, 0, 0, 50, 50, "DUDEZ", "x", 8, "MS Sans Serif", items, 2};
    std::vector<unsigned char> strict = platform::WriteDialogTemplate(spec);
    EXPECT_EQ(CreateDialogIndirectParamA(nullptr, strict.data(), strict.size(), nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(platform::TopLevelWindows().size(), windowsBefore);
    spec.style |= DS_NOFAILCREATE;
    std::vector<unsigned char> lenient = platform::WriteDialogTemplate(spec);
    HWND window = Keep(CreateDialogIndirectParamA(nullptr, lenient.data(), lenient.size(), nullptr, nullptr, 0));
    ASSERT_TRUE(window);
    EXPECT_EQ(platform::ChildWindows(window).size(), 1u);
    EXPECT_FALSE(Seen(window)); // the template did not ask for WS_VISIBLE
    // 8 points: base units 6 x 13, so 50 x 50 units are 75 x 81 pixels.
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 75);
    EXPECT_EQ(client.bottom, 81);
}

TEST_F(Dialogs, TheSystemDialogClassRunsTheDialogProcedure) {
    gDialogMessages.clear();
    HWND owner = Keep(MakeRecorderWindow("", RECT{100, 50, 400, 250}));
    const platform::DialogItemSpec items[] = {
        {10, "static", WS_CHILD | WS_VISIBLE, 0, 0, 40, 8, "label"},
        {11, "button", WS_CHILD | WS_TABSTOP | WS_DISABLED | WS_VISIBLE, 0, 10, 40, 14, "off"},
        {IDCANCEL, "button", WS_CHILD | WS_TABSTOP | WS_VISIBLE, 0, 30, 40, 14, "Cancel"},
    };
    const std::vector<unsigned char> bytes = platform::WriteDialogTemplate(
        {WS_POPUP | WS_VISIBLE, 0, 5, 10, 60, 60, nullptr, "Box", 10, "MS Sans Serif", items, 3});

    gInitResult = TRUE; // ask for the focus on the first enabled tab stop
    HWND dialog = CreateDialogIndirectParamA(nullptr, bytes.data(), bytes.size(), owner,
                                             TestDialogProcedure, 1234);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(strcasecmp(View(dialog).className.c_str(), "#32770"), 0);
    EXPECT_EQ(GetParent(dialog), owner);
    ASSERT_FALSE(gDialogMessages.empty());
    EXPECT_EQ(gDialogMessages[0], (std::pair<UINT, WPARAM>{WM_INITDIALOG, 1234}));
    EXPECT_EQ(FocusedIn(dialog), GetDlgItem(dialog, IDCANCEL));
    // Placed from the owner's client area: (5, 10) units are (10, 20) pixels.
    RECT rect;
    GetWindowRect(dialog, &rect);
    EXPECT_TRUE(SameRect(rect, RECT{110, 70, 230, 190}));

    // The system Close becomes the Cancel button's command.
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    PumpPending();
    EXPECT_EQ(gDialogMessages.back(), (std::pair<UINT, WPARAM>{WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)}));
    EXPECT_TRUE(IsWindow(dialog));
    // The owner takes its owned dialog with it.
}
