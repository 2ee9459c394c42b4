// The search for the first entry header reads the input in chunks; it must find what a search
// of eight bytes at every position finds, wherever the signature stands relative to the chunks
// and to the input's cache, and fail with the same code when there is none.
#include "convert/ConvertFile.h"
#include "convert/KobFormat.h"
#include "stream/LFileCachedStream.h"

#include <gtest/gtest.h>

#include <cstdint>
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
    } catch (std::int32_t code) {
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
