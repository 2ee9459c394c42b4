// What the terminal reads off the window model: each control of the main window lands in its
// own place of the scene, so a swapped pair of buttons fails here rather than only under tmux.
#include "platform/Windows.h"
#include "ui/terminal/WindowScene.h"
#include "resources/ControlIds.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using ui::terminal::ReadWindowScene;
using ui::terminal::WindowScene;

HWND Child(HWND parent, const char* className, int id, const char* text) {
    return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE, 10, 10, 50, 20, parent,
                           reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
}

} // namespace

TEST(WindowScene, EachControlOfTheWindowLandsInItsOwnPlace) {
    HWND top = CreateWindowExA(0, "static", "MORVIT DuDEZ", WS_POPUP | WS_VISIBLE, 0, 0, 430, 238, nullptr,
                               nullptr, nullptr, nullptr);
    ASSERT_NE(top, nullptr);
    HWND previous = Child(top, "button", IDC_PREVIOUS, "Previous");
    HWND next = Child(top, "button", IDC_NEXT, "Next");
    HWND finish = Child(top, "button", IDC_ABORT, "Abort");
    Child(top, "static", IDC_CREDIT, "(c) MORVIT");
    Child(top, "static", IDC_FILENAME, "take.wav");
    Child(top, "static", IDC_TOTAL, "1764000044");

    const WindowScene scene = ReadWindowScene(top);
    EXPECT_TRUE(scene.present);
    EXPECT_EQ(scene.caption, "MORVIT DuDEZ");
    EXPECT_EQ(scene.previous.window, previous);
    EXPECT_EQ(scene.previous.text, "Previous");
    EXPECT_EQ(scene.next.window, next);
    EXPECT_EQ(scene.next.text, "Next");
    EXPECT_EQ(scene.finish.window, finish);
    EXPECT_EQ(scene.finish.text, "Abort");
    EXPECT_EQ(scene.credit, "(c) MORVIT");
    EXPECT_EQ(scene.fileName, "take.wav");
    EXPECT_EQ(scene.total, "1764000044");
    DestroyWindow(top);
}
