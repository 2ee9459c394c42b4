// Registers the program's resources once for every test of this program, followed by decoys:
// entries of the same type and name in language 1031. A lookup in language 1031 takes the
// first entry of that language, so it reaches the program's own entry only if that entry
// really is in language 1031; lookups in any language still find the program's entries first.
#include "resources/ProgramResources.h"

#include "platform/resources/Resources.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

const unsigned char kDecoy[] = {'d', 'e', 'c', 'o', 'y'};

class ResourcesEnvironment : public testing::Environment {
public:
    void SetUp() override {
        RegisterPictures();
        RegisterIcons();
        static const platform::ResourceEntry decoys[] = {
            {RT_BITMAP, nullptr, 116, 1031, kDecoy, sizeof kDecoy},
            {RT_BITMAP, nullptr, 120, 1031, kDecoy, sizeof kDecoy},
            {RT_BITMAP, nullptr, 124, 1031, kDecoy, sizeof kDecoy},
            {RT_ICON, nullptr, 1, 1031, kDecoy, sizeof kDecoy},
            {RT_ICON, nullptr, 2, 1031, kDecoy, sizeof kDecoy},
            {RT_GROUP_ICON, "DUDEZ", 0, 1031, kDecoy, sizeof kDecoy},
        };
        platform::RegisterResources(decoys, std::size(decoys));
    }
};

[[maybe_unused]] testing::Environment* const gEnvironment =
    testing::AddGlobalTestEnvironment(new ResourcesEnvironment);

} // namespace
