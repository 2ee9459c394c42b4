// The trailing data of each entry is read out of the input for the writer, and only as much of
// it as the file holds. The WAVE writer ignores it, so the reads are what shows it was copied.
#include "convert/ConvertFile.h"
#include "stream/LFileStream.h"
#include "tests/harness/KobFiles.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

struct Read {
    std::int32_t at = 0;
    std::vector<std::uint8_t> bytes;   // what the read delivered
};

// A file stream that notes every read.
class WatchedStream : public LFileStream {
public:
    using LFileStream::LFileStream;
    std::int32_t GetBytes(void* destination, std::int32_t& count) override {
        const std::int32_t at = GetMarker();
        const std::int32_t code = LFileStream::GetBytes(destination, count);
        const auto* bytes = static_cast<const std::uint8_t*>(destination);
        reads.push_back({at, std::vector<std::uint8_t>(bytes, bytes + count)});
        return code;
    }
    std::vector<Read> reads;
};

bool WasRead(const std::vector<Read>& reads, std::uint32_t at, const std::vector<std::uint8_t>& bytes) {
    for (const Read& read : reads)
        if (read.at == static_cast<std::int32_t>(at) && read.bytes == bytes) return true;
    return false;
}

} // namespace

TEST(TrailingData, EachEntrysTrailerIsReadWholeButNoFurtherThanTheFileGoes) {
    testsupport::TempDir dir;
    auto first = kobtest::Music("tail.aif", 1, 3000, 4);
    for (int i = 0; i < 700; ++i) first.trailer.push_back(static_cast<std::uint8_t>(i * 7));
    auto last = kobtest::Music("last.aif", 2, 1000, 5);
    last.trailer = {9, 8, 7, 6, 5, 4, 3};
    auto file = kobenc::Encode({first, last});
    // A damaged length that claims far more than the file holds: what there is gets read.
    file.entries[1].trailerLength = 0xFFFFFFF0u;
    const kobenc::KobImage image = kobenc::Serialise(file);
    const std::string path = dir.File("tail.kob");
    kobenc::WriteBytes(path, image.bytes);

    const FileSpec spec = MakeFileSpec(path);
    WatchedStream input(spec);
    input.OpenDataFork(0);
    ConvertFile(input, spec);

    EXPECT_TRUE(WasRead(input.reads, image.layout.entries[0].trailerOffset, first.trailer)) << "the first trailer";
    EXPECT_TRUE(WasRead(input.reads, image.layout.entries[1].trailerOffset, last.trailer)) << "the last trailer";
    EXPECT_TRUE(testsupport::FileExists(dir.File("tail.wav")));
    EXPECT_TRUE(testsupport::FileExists(dir.File("last.wav")));
}
