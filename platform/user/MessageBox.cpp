// The modal message box: the display presents it while its owner is disabled.
#include "platform/user/UserMessageBox.h"

#include "platform/user/UserWindow.h"
#include "platform/display/Backend.h"
#include "platform/user/Window.h"

using namespace platform::user;

namespace {

// The top-level window above `owner`; null when there is none (or it is gone).
HWND TopLevelOwner(HWND owner) {
    ModelLock lock(ModelMutex());
    Window* window = Find(owner);
    return window ? Root(*window)->handle : nullptr;
}

// Keeps the owner disabled for as long as the box is up, and enables it afterwards only if this
// box was what disabled it (a box over a box leaves it to the outer one).
class DisabledOwner {
public:
    explicit DisabledOwner(HWND owner)
        : mOwner(owner), mDisabledHere(owner && !EnableWindow(owner, FALSE)) {}
    ~DisabledOwner() {
        if (mDisabledHere) EnableWindow(mOwner, TRUE);
    }
    DisabledOwner(const DisabledOwner&) = delete;
    DisabledOwner& operator=(const DisabledOwner&) = delete;

private:
    HWND mOwner;
    bool mDisabledHere;
};

} // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    HWND top = TopLevelOwner(owner);
    DisabledOwner modal(top);
    return platform::display::Current().ShowMessageBox(top, text ? text : "",
                                                       caption ? caption : "Error", style);
}
