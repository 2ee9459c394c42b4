// The program's icon: images 1 (16 colours) and 2 (256 colours) and the group "DUDEZ" that
// the window class loads.
#include "platform/resources/Resources.h"
#include "resources/EmbeddedData.h"
#include "resources/ProgramResources.h"

#include <iterator>
#include <mutex>

namespace {

constexpr int kLanguage = 1031;

} // namespace

void RegisterIcons() {
    static std::once_flag once;
    std::call_once(once, [] {
        // WATCHOUT: the table keeps pointers to these entries, so they live as long as the
        // process. The group directory names its images by these ids.
        static const platform::ResourceEntry entries[] = {
            {RT_ICON, nullptr, 1, kLanguage, embedded::kIcon1, embedded::kIcon1Size},
            {RT_ICON, nullptr, 2, kLanguage, embedded::kIcon2, embedded::kIcon2Size},
            {RT_GROUP_ICON, "DUDEZ", 0, kLanguage, embedded::kIconGroup, embedded::kIconGroupSize},
        };
        platform::RegisterResources(entries, std::size(entries));
    });
}
