// The main window built from its template with the program's own resources, driven headless by
// posting input and reading texts and pixels back.
#include "platform/user/Input.h"
#include "platform/user/Model.h"
#include "platform/Windows.h"
#include "platform/user/DisplayDriver.h"
#include "resources/ProgramResources.h"
#include "ui/Globals.h"
#include "ui/MainWindow.h"
#include "ui/PicturePanel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

struct Pixel { std::uint8_t red, green, blue; };

// The colour a picture's resource gives the pixel at (x, y) from the top.
Pixel ResourcePixel(int id, int x, int y) {
    HRSRC found = FindResourceA(gInstance, MAKEINTRESOURCE(id), RT_BITMAP);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(gInstance, found)));
    const std::uint8_t* table = bytes + 40;
    const std::uint8_t index = bytes[40 + 1024 + (119 - y) * 400 + x];   // bottom row first
    return {table[4 * index + 2], table[4 * index + 1], table[4 * index]};
}

std::uint32_t Packed(Pixel p) { return (std::uint32_t{p.red} << 16) | (std::uint32_t{p.green} << 8) | p.blue; }

class MainWindow : public testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterDialogAndKeys();
        RegisterPictures();
        RegisterIcons();
        InitCommonControls();
        gInstance = GetModuleHandleA(nullptr);
        ASSERT_TRUE(RegisterMainWindowClass(gInstance));
        sKeys = LoadAcceleratorsA(gInstance, "DUDEZ");
        ASSERT_NE(sKeys, nullptr);
        StartPictures();
    }

    void SetUp() override {
        gPictureIndex = 0;
        gCurrentPalette = gPalettes[0];
        gExitDeleteName[0] = '\0';
        gMainWindow = CreateDialogParamA(gInstance, "DUDEZ", nullptr, nullptr, 0);
        ASSERT_NE(gMainWindow, nullptr);
        ShowWindow(gMainWindow, SW_SHOW);
        UpdateWindow(gMainWindow);
        mQuit = false;
    }
    void TearDown() override {
        DestroyWindow(gMainWindow);
        // Leave nothing behind for the next test, its quit message included.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT) DispatchMessageA(&msg);
        gMainWindow = nullptr;
    }

    // Runs the program's message loop until nothing is left to do (or the quit message comes).
    void Pump() {
        MSG msg;
        while (!mQuit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                mQuit = true;
                break;
            }
            if (sKeys && TranslateAcceleratorA(gMainWindow, sKeys, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    void Press(UINT key) {
        platform::PostKeyPress(gMainWindow, key);
        Pump();
    }
    HWND Item(int id) { return GetDlgItem(gMainWindow, id); }
    std::uint32_t PictureAt(int x, int y) {
        platform::SurfaceView surface;
        EXPECT_TRUE(platform::ReadSurface(Item(IDC_PICTURE), &surface));
        return surface.At(x, y);
    }
    int ShownPicture() { return gPictureIds[gPictureIndex]; }

    static HACCEL sKeys;
    bool mQuit = false;
};

HACCEL MainWindow::sKeys = nullptr;

} // namespace

TEST_F(MainWindow, ReturnClosesOnlyOnceTheButtonReadsDone) {
    Press(VK_RETURN);
    EXPECT_FALSE(mQuit) << "Return while the batch runs";
    SetDlgItemTextA(gMainWindow, IDC_ABORT, "done");
    Press(VK_RETURN);
    EXPECT_FALSE(mQuit) << "only \"Done\" exactly";
    PostMessageA(gMainWindow, UM_BATCHDONE, 0, 0);
    Pump();
    char text[20];
    GetDlgItemTextA(gMainWindow, IDC_ABORT, text, sizeof text);
    EXPECT_STREQ(text, "Done");
    platform::WindowView abort;
    ASSERT_TRUE(platform::InspectWindow(Item(IDC_ABORT), &abort));
    EXPECT_TRUE(abort.focused);
    Press(VK_RETURN);
    EXPECT_TRUE(mQuit);
    EXPECT_TRUE(IsWindow(gMainWindow)) << "the window stays until the process ends";
}

TEST_F(MainWindow, EscapeAbortAndCloseSaveTheNameShown) {
    SetDlgItemTextA(gMainWindow, IDC_FILENAME, "/music/take.wav");
    Press(VK_ESCAPE);
    EXPECT_TRUE(mQuit);
    EXPECT_STREQ(gExitDeleteName, "/music/take.wav");

    TearDown();
    SetUp();
    platform::PostClick(Item(IDC_ABORT));
    Pump();
    EXPECT_TRUE(mQuit) << "the Abort button";
    EXPECT_STREQ(gExitDeleteName, "") << "nothing shown: nothing to delete";

    TearDown();
    SetUp();
    SetDlgItemTextA(gMainWindow, IDC_FILENAME, "half.wav");
    PostMessageA(gMainWindow, WM_CLOSE, 0, 0);   // the system Close
    Pump();
    EXPECT_TRUE(mQuit);
    EXPECT_STREQ(gExitDeleteName, "half.wav");
}

TEST_F(MainWindow, PagesWrapAroundBothWays) {
    EXPECT_EQ(ShownPicture(), 120);
    Press(VK_LEFT);
    EXPECT_EQ(ShownPicture(), 124);
    Press(VK_RIGHT);
    EXPECT_EQ(ShownPicture(), 120);
    const int forward[] = {116, 117, 118, 119, 121, 122, 123, 124, 120};
    for (int expected : forward) {
        Press(VK_NEXT);
        EXPECT_EQ(ShownPicture(), expected);
    }
    Press(VK_PRIOR);
    EXPECT_EQ(ShownPicture(), 124);
    platform::PostClick(Item(IDC_NEXT));
    Pump();
    EXPECT_EQ(ShownPicture(), 120);
    platform::PostClick(Item(IDC_PREVIOUS));
    Pump();
    EXPECT_EQ(ShownPicture(), 124);
}

TEST_F(MainWindow, PaintShowsThePictureClippedToItsControl) {
    Pump();
    platform::SurfaceView surface;
    ASSERT_TRUE(platform::ReadSurface(Item(IDC_PICTURE), &surface));
    RECT client;
    GetClientRect(Item(IDC_PICTURE), &client);
    EXPECT_EQ(surface.width, client.right);
    EXPECT_EQ(surface.height, client.bottom);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{57, 33}, std::pair{surface.width - 1, surface.height - 1}})
        EXPECT_EQ(surface.At(x, y), Packed(ResourcePixel(120, x, y))) << x << "," << y;
    // Nothing of the picture lands in the main window outside its control.
    platform::SurfaceView main;
    if (platform::ReadSurface(gMainWindow, &main)) {
        for (std::uint32_t pixel : main.pixels) EXPECT_EQ(pixel, main.pixels[0]);
    }
    Press(VK_LEFT);
    EXPECT_EQ(PictureAt(10, 10), Packed(ResourcePixel(124, 10, 10)));
}

namespace {

// A display whose message boxes stay up until the test lets them go.
class HeldBoxes : public platform::display::Backend {
public:
    void WindowChanged(HWND) override {}
    int ShowMessageBox(HWND, const char*, const char*, UINT) override {
        up = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        up = false;
        return IDOK;
    }
    std::atomic<bool> up{false};
    std::atomic<bool> release{false};
};

} // namespace

TEST_F(MainWindow, MessageBoxShutsOutKeysAndClicksUntilDismissed) {
    auto owned = std::make_unique<HeldBoxes>();
    HeldBoxes* boxes = owned.get();
    auto previous = platform::display::Install(std::move(owned));
    std::thread worker([] { MessageBoxA(gMainWindow, "x is not a KOB file or corrupted", nullptr, 0x10010); });
    while (!boxes->up) {
        Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Pump();
    EXPECT_FALSE(IsWindowEnabled(gMainWindow));
    Press(VK_ESCAPE);
    Press(VK_RIGHT);
    platform::PostClick(Item(IDC_ABORT));
    Pump();
    EXPECT_FALSE(mQuit);
    EXPECT_EQ(ShownPicture(), 120);
    boxes->release = true;
    while (IsWindowEnabled(gMainWindow) == FALSE) {
        Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.join();
    platform::display::Install(std::move(previous));
    Press(VK_ESCAPE);
    EXPECT_TRUE(mQuit);
}
