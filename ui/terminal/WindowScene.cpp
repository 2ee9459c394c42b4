#include "ui/terminal/WindowScene.h"

#include "resources/ControlIds.h"

namespace ui::terminal {

using namespace platform;

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
        case IDC_PICTURE: ReadSurface(child, &scene.picture); break;
        case IDC_CREDIT: scene.credit = view.text; break;
        case IDC_FILENAME: scene.fileName = view.text; break;
        case IDC_TOTAL: scene.total = view.text; break;
        case IDC_PROGRESS:
            scene.rangeLow = view.rangeLow;
            scene.rangeHigh = view.rangeHigh;
            scene.position = view.position;
            break;
        case IDC_PREVIOUS: button = &scene.previous; break;
        case IDC_NEXT: button = &scene.next; break;
        case IDC_ABORT: button = &scene.finish; break;
        }
        if (button) *button = ButtonScene{child, view.text, view.focused, view.pushed};
    }
    return scene;
}

} // namespace ui::terminal
