// The search for the first entry header reads the input in chunks; it must find what a search
// of eight bytes at every position finds, wherever the signature stands relative to the chunks
// and to the input's cache, and fail with the same code when there is none.
#include "convert/ConvertFile.h"
#include "convert/KobFormat.h"
#include "stream/ErrorCode.h"
#include "stream/LFileCachedStream.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::Bytes;

const char kSignature[] = "KOB1MRFC";

// Eight bytes at every position, as the format describes the search; -6 for "no entry".
std::int64_t SearchEveryPosition(const Bytes& bytes) {
    for (std::size_t p = 0; p + 8 <= bytes.size(); ++p)
        if (std::memcmp(bytes.data() + p, kSignature, 8) == 0) return static_cast<std::int64_t>(p);
    return -6;
}

std::int64_t SearchFile(const std::string& path, std::int32_t cacheSize) {
    LFileCachedStream input(MakeFileSpec(path), cacheSize);
    input.OpenDataFork(0);
    try {
        return FindFirstEntry(input);
    } catch (ErrorCode code) {
        return -code;
    }
}

void Put(Bytes& bytes, std::size_t at, const char* text, std::size_t length) {
    if (bytes.size() < at + length) bytes.resize(at + length, 'K');
    std::memcpy(bytes.data() + at, text, length);
}

} // namespace

TEST(EntrySearch, FindsWhatAByteByByteSearchFinds) {
    testsupport::TempDir dir;
    const std::string path = dir.File("in.kob");
    std::mt19937 random(3);
    // Places around the boundaries of the chunks (32 KiB) and of the caches tried.
    std::vector<std::size_t> places = {0, 1, 7, 8, 4095, 32760, 32761, 32767, 32768, 65529, 65535,
                                       262140, 262143, 262144, 300000};
    for (int i = 0; i < 20; ++i) places.push_back(random() % 600000);
    for (const std::int32_t cacheSize : {32768, 40000, 0x40000}) {
        for (const std::size_t place : places) {
            // Leading bytes full of near misses: the signature's first letter, its first seven
            // bytes, and a false start one byte in front of the real one.
            Bytes bytes(place + 8 + random() % 3, 'K');
            for (std::size_t k = 0; k + 7 < place; k += 1 + random() % 5000) Put(bytes, k, kSignature, 7);
            if (place > 0) Put(bytes, place - 1, "K", 1);
            Put(bytes, place, kSignature, 8);
            testsupport::WriteFileBytes(path, bytes);
            ASSERT_EQ(SearchFile(path, cacheSize), SearchEveryPosition(bytes))
                << "signature at " << place << ", cache " << cacheSize;

            // Cut one byte short of the whole signature: there is no entry at all.
            bytes.resize(place + 7);
            testsupport::WriteFileBytes(path, bytes);
            ASSERT_EQ(SearchFile(path, cacheSize), -6) << "cut at " << place + 7 << ", cache " << cacheSize;
        }
    }
    testsupport::WriteFileBytes(path, Bytes{});
    EXPECT_EQ(SearchFile(path, 0x40000), -6) << "an empty file";
}

TEST(EntrySearch, ScansMemoryForTheSignature) {
    Bytes bytes(100, 'K');
    EXPECT_EQ(FindEntryStart(bytes.data(), 100), -1);
    Put(bytes, 92, kSignature, 8);
    EXPECT_EQ(FindEntryStart(bytes.data(), 100), 92);
    EXPECT_EQ(FindEntryStart(bytes.data(), 99), -1) << "only signatures wholly within the count";
    Put(bytes, 3, kSignature, 8);
    EXPECT_EQ(FindEntryStart(bytes.data(), 100), 3) << "the first of two";
    EXPECT_EQ(FindEntryStart(bytes.data(), 0), -1);
}

namespace {

// An input that never ends: 'K' at every position, the signature at one chosen position.
// It remembers the furthest position it was asked to deliver.
class EndlessInput : public LStream {
public:
    explicit EndlessInput(std::int64_t signatureAt) : mSignatureAt(signatureAt) {}
    void SetMarker(std::int32_t offset, std::int32_t origin) override {
        // A position that wrapped round to a negative one fails like the runtime's seek.
        if (origin != 0 || offset < 0) throw ErrorCode{kBadPosition};
        mPosition = offset;
    }
    std::int32_t GetMarker() const override { return static_cast<std::int32_t>(mPosition); }
    std::int32_t GetBytes(void* destination, std::int32_t& count) override {
        auto* out = static_cast<std::uint8_t*>(destination);
        for (std::int32_t i = 0; i < count; ++i) {
            const std::int64_t at = mPosition + i - mSignatureAt;
            out[i] = at >= 0 && at < 8 ? static_cast<std::uint8_t>(kSignature[at]) : 'K';
        }
        mPosition += count;
        mFurthest = std::max(mFurthest, mPosition);
        return 0;
    }
    std::int64_t Furthest() const { return mFurthest; }

private:
    std::int64_t mSignatureAt;
    std::int64_t mPosition = 0;
    std::int64_t mFurthest = 0;
};

constexpr std::int64_t kPositionLimit = std::int64_t{1} << 31;   // the first position past 32 bits

std::int64_t SearchEndless(EndlessInput& input, std::int32_t from) {
    try {
        return FindFirstEntry(input, from);
    } catch (ErrorCode code) {
        return -code;
    }
}

} // namespace

// Positions are 32-bit: an input that goes on for ever (/dev/zero) is searched up to the last
// position and then given up like a file without an entry, never wrapped round to negative ones.
TEST(EntrySearch, EndsAtTheLastThirtyTwoBitPosition) {
    const std::int32_t from = static_cast<std::int32_t>(kPositionLimit - 200000);
    EndlessInput none(-100);
    EXPECT_EQ(SearchEndless(none, from), -6);
    EXPECT_EQ(none.Furthest(), kPositionLimit) << "every position is searched, none past the limit";

    EndlessInput last(kPositionLimit - 8);
    EXPECT_EQ(SearchEndless(last, from), kPositionLimit - 8) << "the last signature whose bytes all have positions";
    EndlessInput across(kPositionLimit - 7);
    EXPECT_EQ(SearchEndless(across, from), -6) << "a signature whose last byte lies past the limit";
    EXPECT_EQ(across.Furthest(), kPositionLimit);
}

// The same through the batch driver's cached stream, over a sparse file a little larger than
// the positions reach: the cache ends beyond the last position, and its logical position may
// stand at 2^31 itself when the stream is closed.
TEST(EntrySearch, TheCachedInputReachesTheLimitSafely) {
    testsupport::TempDir dir;
    const std::string path = dir.File("huge.kob");
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(::ftruncate(fileno(file), kPositionLimit + 300000), 0);
    std::fclose(file);
    const std::int32_t from = static_cast<std::int32_t>(kPositionLimit - 100000);
    for (const std::int64_t at : {kPositionLimit - 7, kPositionLimit - 8}) {
        file = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(::pwrite(fileno(file), kSignature, 8, at), 8);
        std::fclose(file);
        LFileCachedStream input(MakeFileSpec(path), 0x40000);
        input.OpenDataFork(0);
        std::int64_t found;
        try {
            found = FindFirstEntry(input, from);
        } catch (ErrorCode code) {
            found = -code;
        }
        EXPECT_EQ(found, at == kPositionLimit - 7 ? -6 : at);
        EXPECT_NO_THROW(input.FlushCache()) << "the stream goes back to where the search stopped";
    }
}
