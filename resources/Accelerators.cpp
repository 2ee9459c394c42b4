// The accelerator table "DUDEZ": the keys that stand for the main window's commands.
#include "platform/Resources.h"
#include "platform/UserAccelerators.h"
#include "platform/WinMessages.h"
#include "resources/ProgramResources.h"

#include <iterator>
#include <mutex>

namespace {

constexpr int kLanguage = 1031;

constexpr BYTE kKey = FVIRTKEY | FNOINVERT;

// 2 closes, 1 closes once the batch is done, 1003 and 1004 page the pictures back and forth.
constexpr ACCEL kKeys[] = {
    {kKey, VK_ESCAPE, 2},
    {kKey, VK_LEFT, 1003},
    {kKey, VK_NEXT, 1004},
    {kKey, VK_PRIOR, 1003},
    {kKey, VK_RETURN, 1},
    {kKey, VK_RIGHT, 1004},
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
