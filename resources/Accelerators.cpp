// The accelerator table "DUDEZ": the keys that stand for the main window's commands.
#include "platform/resources/Resources.h"
#include "platform/user/UserAccelerators.h"
#include "platform/user/WinMessages.h"
#include "resources/ControlIds.h"
#include "resources/ProgramResources.h"

#include <iterator>
#include <mutex>

namespace {

constexpr int kLanguage = 1031;

constexpr BYTE kKey = FVIRTKEY | FNOINVERT;

// Escape closes, Return closes once the batch is done, the others page the pictures.
constexpr ACCEL kKeys[] = {
    {kKey, VK_ESCAPE, IDC_ESCAPE},
    {kKey, VK_LEFT, IDC_PREVIOUS},
    {kKey, VK_NEXT, IDC_NEXT},
    {kKey, VK_PRIOR, IDC_PREVIOUS},
    {kKey, VK_RETURN, IDC_RETURN},
    {kKey, VK_RIGHT, IDC_NEXT},
};

constexpr auto kTable = PackAcceleratorTable(kKeys);

} // namespace

void RegisterAccelerators() {
    static std::once_flag once;
    std::call_once(once, [] {
        // WATCHOUT: the table keeps a pointer to this entry, so it lives as long as the process.
        static const platform::ResourceEntry entries[] = {
            {RT_ACCELERATOR, "DUDEZ", 0, kLanguage, kTable.data(), kTable.size()},
        };
        platform::RegisterResources(entries, std::size(entries));
    });
}
