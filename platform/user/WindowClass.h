// The table of window classes: the program's own and the system's controls.
//
// The system classes are registered the first time the table is used, so they exist before any
// window is made.
#pragma once

#include "platform/user/UserWindow.h"

#include <memory>
#include <string>

namespace platform::user {

struct WindowClass {
    std::string name;          // as registered; looked up without regard to case
    WNDPROC procedure = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HBRUSH background = nullptr;
    ATOM atom = 0;
    bool system = false;       // one of the system's classes; cannot be unregistered
};

// By name, or by atom when the pointer's value is below 0x10000. Null when there is no such class.
std::shared_ptr<const WindowClass> FindClass(LPCSTR nameOrAtom);
// 0 when the record is incomplete or the name is taken. A system class may come with the fixed
// atom the platform gives it (`atom`); otherwise one is handed out.
ATOM AddClass(const WNDCLASSA& windowClass, bool system, ATOM atom = 0);
// Registers the system classes unless that has been done.
void EnsureSystemClasses();

} // namespace platform::user

namespace platform::controls {

// Registers "static", "button", "msctls_progress32" and the dialog class "#32770" (the control
// classes' own file). The class table calls it once, before its first use.
void RegisterSystemClasses();

} // namespace platform::controls
