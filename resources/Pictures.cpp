// The nine pictures as bitmap resources 116 to 124, and their words as data resources of the same
// numbers: a display that cannot show a picture's small print shows these instead.
#include "platform/resources/Resources.h"
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
            {RT_RCDATA, nullptr, 116, kLanguage, embedded::kPageText116, embedded::kPageText116Size},
            {RT_RCDATA, nullptr, 117, kLanguage, embedded::kPageText117, embedded::kPageText117Size},
            {RT_RCDATA, nullptr, 118, kLanguage, embedded::kPageText118, embedded::kPageText118Size},
            {RT_RCDATA, nullptr, 119, kLanguage, embedded::kPageText119, embedded::kPageText119Size},
            {RT_RCDATA, nullptr, 120, kLanguage, embedded::kPageText120, embedded::kPageText120Size},
            {RT_RCDATA, nullptr, 121, kLanguage, embedded::kPageText121, embedded::kPageText121Size},
            {RT_RCDATA, nullptr, 122, kLanguage, embedded::kPageText122, embedded::kPageText122Size},
            {RT_RCDATA, nullptr, 123, kLanguage, embedded::kPageText123, embedded::kPageText123Size},
            {RT_RCDATA, nullptr, 124, kLanguage, embedded::kPageText124, embedded::kPageText124Size},
        };
        platform::RegisterResources(entries, std::size(entries));
    });
}
