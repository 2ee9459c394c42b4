// The dialog template "DUDEZ": the main window's layout, in dialog units.
#include "platform/controls/Controls.h"
#include "platform/user/DialogTemplate.h"
#include "platform/resources/Resources.h"
#include "platform/user/UserDialog.h"
#include "platform/user/UserWindow.h"
#include "resources/ControlIds.h"
#include "resources/ProgramResources.h"

#include <iterator>
#include <mutex>
#include <vector>

namespace {

constexpr int kLanguage = 1033;

constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

// In creation order; no control has an extended style and no button is a default one.
const platform::DialogItemSpec kControls[] = {
    {IDC_PROGRESS, PROGRESS_CLASSA, WS_CHILD | WS_VISIBLE | WS_BORDER, 7, 98, 122, 14, "Progress"},
    {IDC_FILENAME, "static", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_SUNKEN | SS_LEFT, 7, 84, 90, 8, ""},
    {IDC_TOTAL, "static", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_SUNKEN | SS_RIGHT, 99, 84, 29, 8, ""},
    {IDC_PREVIOUS, "button", kButton, 136, 81, 34, 14, "Previous"},
    {IDC_NEXT, "button", kButton, 173, 81, 34, 14, "Next"},
    {IDC_PICTURE, "static", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, 7, 7, 200, 60, ""},
    {IDC_ABORT, "button", kButton, 173, 98, 34, 14, "Abort"},
    // One line: 41 characters of 4 dialog units on average fit the 200 units.
    {IDC_CREDIT, "static", WS_CHILD | WS_VISIBLE | SS_LEFT, 7, 71, 200, 8,
     "(c) MORVIT: restores your KOB recordings"},
};

const platform::DialogSpec kMainWindow{
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK,
    0,
    0, 0, 215, 119,
    "DUDEZ",
    "MORVIT DuDEZ Version 1.0.1",
    10, "MS Sans Serif",
    kControls, std::size(kControls),
};

} // namespace

void RegisterDialogTemplate() {
    static std::once_flag once;
    std::call_once(once, [] {
        // WATCHOUT: the table keeps pointers to the entry and its bytes, so both live as long as
        // the process.
        static const std::vector<unsigned char> bytes = platform::WriteDialogTemplate(kMainWindow);
        static const platform::ResourceEntry entries[] = {
            {RT_DIALOG, "DUDEZ", 0, kLanguage, bytes.data(), bytes.size()},
        };
        platform::RegisterResources(entries, std::size(entries));
    });
}

void RegisterDialogAndKeys() {
    RegisterDialogTemplate();
    RegisterAccelerators();
}
