#include "platform/controls/SystemClasses.h"

#include "platform/Controls.h"
#include "platform/user/WindowClass.h"

namespace platform::controls {
namespace {

void Register(const char* name, WNDPROC procedure, UINT style) {
    WNDCLASSA record{};
    record.style = style;
    record.lpfnWndProc = procedure;
    record.lpszClassName = name;
    user::AddClass(record, true);
}

} // namespace

void RegisterSystemClasses() {
    Register("Static", StaticProcedure, 0);
    Register("Button", ButtonProcedure, CS_VREDRAW | CS_HREDRAW);
    Register(PROGRESS_CLASSA, ProgressProcedure, CS_VREDRAW | CS_HREDRAW);
}

} // namespace platform::controls

void InitCommonControls() {
    platform::user::EnsureSystemClasses();
}
