// The nine pictures as bitmap resources 116 to 124.
#include "platform/Resources.h"
#include "resources/EmbeddedData.h"
#include "resources/ProgramResources.h"

#include <iterator>
#include <mutex>

namespace {

constexpr int kLanguage = 1031;

} // namespace

void RegisterPictures() {
    static std::once_flag once;
    std::call_once(once, [] {
        // WATCHOUT: the table keeps pointers to these entries, so they live as long as the
        // process.
        static const platform::ResourceEntry entries[] = {
            {RT_BITMAP, nullptr, 116, kLanguage, embedded::kPicture116, embedded::kPicture116Size},
            {RT_BITMAP, nullptr, 117, kLanguage, embedded::kPicture117, embedded::kPicture117Size},
            {RT_BITMAP, nullptr, 118, kLanguage, embedded::kPicture118, embedded::kPicture118Size},
            {RT_BITMAP, nullptr, 119, kLanguage, embedded::kPicture119, embedded::kPicture119Size},
            {RT_BITMAP, nullptr, 120, kLanguage, embedded::kPicture120, embedded::kPicture120Size},
            {RT_BITMAP, nullptr, 121, kLanguage, embedded::kPicture121, embedded::kPicture121Size},
            {RT_BITMAP, nullptr, 122, kLanguage, embedded::kPicture122, embedded::kPicture122Size},
            {RT_BITMAP, nullptr, 123, kLanguage, embedded::kPicture123, embedded::kPicture123Size},
            {RT_BITMAP, nullptr, 124, kLanguage, embedded::kPicture124, embedded::kPicture124Size},
        };
        platform::RegisterResources(entries, std::size(entries));
    });
}
