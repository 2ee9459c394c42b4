#include "platform/display/terminal/WindowScene.h"

namespace platform::display::terminal {

HWND MainWindow() {
    for (HWND window : TopLevelWindows()) {
        WindowView view;
        if (InspectWindow(window, &view) && view.visible) return window;
    }
    return nullptr;
}

WindowScene ReadWindowScene(HWND main) {
    WindowScene scene;
    WindowView top;
    if (!main || !InspectWindow(main, &top)) return scene;
    scene.present = true;
    scene.enabled = top.enabled;
    scene.caption = top.text;
    for (HWND child : ChildWindows(main)) {
        WindowView view;
        if (!InspectWindow(child, &view)) continue;
        ButtonScene* button = nullptr;
        switch (view.id) {
        case 1005: ReadSurface(child, &scene.picture); break;
        case 1007: scene.credit = view.text; break;
        case 1002: scene.fileName = view.text; break;
        case 1001: scene.total = view.text; break;
        case 1000:
            scene.rangeLow = view.rangeLow;
            scene.rangeHigh = view.rangeHigh;
            scene.position = view.position;
            break;
        case 1003: button = &scene.previous; break;
        case 1004: button = &scene.next; break;
        case 3: button = &scene.finish; break;
        default: break;
        }
        if (button) *button = ButtonScene{child, view.text, view.focused, view.pushed};
    }
    return scene;
}

} // namespace platform::display::terminal
