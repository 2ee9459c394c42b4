#include "stream/ErrorCode.h"
#include "stream/LFileCachedStream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using testsupport::Bytes;
using testsupport::ReadFileBytes;
using testsupport::ReadFileText;
using testsupport::TempDir;
using testsupport::WriteFileBytes;
using testsupport::WriteFileText;

namespace {

Bytes Pattern(std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i % 251);
    return bytes;
}

// Changes one byte of a file on disk through a descriptor of its own.
void PokeOnDisk(const std::string& path, off_t offset, std::uint8_t value) {
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, &value, 1, offset), 1);
    ::close(fd);
}

off_t SizeOnDisk(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_size : -1;
}

std::uint8_t ReadByte(LStream& s) {
    std::uint8_t byte = 0;
    std::int32_t count = 1;
    EXPECT_EQ(s.GetBytes(&byte, count), 0);
    EXPECT_EQ(count, 1);
    return byte;
}

template <typename F>
std::int32_t ThrownCode(F f) {
    try {
        f();
    } catch (ErrorCode code) {
        return code;
    }
    ADD_FAILURE() << "expected a thrown code";
    return 0;
}

} // namespace

TEST(LFileCachedStream, MarkersInsideTheCacheTouchNoFile) {
    TempDir dir;
    const std::string path = dir.File("in");
    WriteFileBytes(path, Pattern(1000));
    LFileCachedStream s(MakeFileSpec(path), 100);
    s.OpenDataFork(0);
    // Unbuffered, so that whatever reaches the runtime reaches the disk: a stale byte can only
    // have come from the stream's own cache.
    ASSERT_EQ(std::setvbuf(s.GetDataFork(), nullptr, _IONBF, 0), 0);

    s.SetMarker(100, 0);
    EXPECT_EQ(ReadByte(s), 100); // the cache now holds file bytes 100..199
    PokeOnDisk(path, 150, 0xA1);
    PokeOnDisk(path, 199, 0xA2);
    PokeOnDisk(path, 200, 0xA3);

    s.SetMarker(150, 0);
    EXPECT_EQ(s.GetMarker(), 150);
    EXPECT_EQ(ReadByte(s), 150) << "served from the cache";
    s.SetMarker(199, 0);
    EXPECT_EQ(ReadByte(s), 199) << "the last cached byte is still in the cache";
    s.SetMarker(200, 0);
    EXPECT_EQ(s.GetMarker(), 200);
    EXPECT_EQ(ReadByte(s), 0xA3) << "just behind the cache: flushed, sought and read anew";
    s.SetMarker(150, 0);
    EXPECT_EQ(ReadByte(s), 0xA1) << "the old range is gone from the cache";
}

TEST(LFileCachedStream, RelativeAndEndMarkers) {
    TempDir dir;
    WriteFileBytes(dir.File("in"), Pattern(300));
    LFileCachedStream s(MakeFileSpec(dir.File("in")), 100);
    s.OpenDataFork(0);
    EXPECT_EQ(ReadByte(s), 0); // cache: 0..99
    s.SetMarker(10, 1);
    EXPECT_EQ(s.GetMarker(), 11);
    s.SetMarker(250, 2);
    EXPECT_EQ(s.GetMarker(), 50) << "origin 2 counts backwards from the end";
    EXPECT_EQ(ReadByte(s), 50);
    s.SetMarker(10, 2);
    EXPECT_EQ(s.GetMarker(), 290) << "outside the cache the file stream counts the same way";
    EXPECT_EQ(ReadByte(s), 290 % 251);
    s.SetMarker(-20, 1);
    EXPECT_EQ(s.GetMarker(), 271);
    EXPECT_EQ(ThrownCode([&] { s.SetMarker(-400, 1); }), -1);
    EXPECT_EQ(ThrownCode([&] { s.SetMarker(0, 9); }), -1);
}

TEST(LFileCachedStream, EndOfFileCodesAndCounts) {
    TempDir dir;
    WriteFileText(dir.File("in"), "0123456789abcd");
    char out[10];
    {
        LFileCachedStream s(MakeFileSpec(dir.File("in")), 100);
        s.OpenDataFork(0);
        std::int32_t count = 10;
        EXPECT_EQ(s.GetBytes(out, count), 0);
        EXPECT_EQ(count, 10);
        count = 10;
        EXPECT_EQ(s.GetBytes(out, count), 6) << "4 left in the cache and the file ends there";
        EXPECT_EQ(count, 4);
        EXPECT_EQ(std::memcmp(out, "abcd", 4), 0);
        count = 10;
        EXPECT_EQ(s.GetBytes(out, count), 6);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(ThrownCode([&] { s.GetBlock(out, 4); }), 6);
    }
    {
        LFileCachedStream s(MakeFileSpec(dir.File("in")), 100);
        s.OpenDataFork(0);
        s.SetMarker(10, 0);
        std::int32_t count = 10;
        EXPECT_EQ(s.GetBytes(out, count), 0) << "a fill that finds fewer bytes is no failure";
        EXPECT_EQ(count, 4);
        EXPECT_EQ(std::memcmp(out, "abcd", 4), 0);
        EXPECT_EQ(s.GetMarker(), 14);
        count = 10;
        EXPECT_EQ(s.GetBytes(out, count), 6);
        EXPECT_EQ(count, 0);
    }
    {
        WriteFileText(dir.File("empty"), "");
        LFileCachedStream s(MakeFileSpec(dir.File("empty")), 100);
        s.OpenDataFork(0);
        std::int32_t count = 1;
        EXPECT_EQ(s.GetBytes(out, count), 6);
        EXPECT_EQ(count, 0);
    }
}

TEST(LFileCachedStream, ReadsLargerThanTheCacheGoDirect) {
    TempDir dir;
    WriteFileText(dir.File("in"), "0123456789abcd");
    LFileCachedStream s(MakeFileSpec(dir.File("in")), 8);
    s.OpenDataFork(0);
    char out[16] = {};
    std::int32_t count = 4;
    ASSERT_EQ(s.GetBytes(out, count), 0); // the cache holds 0..7
    count = 9;
    EXPECT_EQ(s.GetBytes(out, count), 0);
    EXPECT_EQ(std::string(out, 9), "456789abc") << "the direct read starts at the logical position";
    EXPECT_EQ(s.GetMarker(), 13);
    count = 9;
    EXPECT_EQ(s.GetBytes(out, count), 1) << "a short direct read";
    EXPECT_EQ(count, 9) << "the direct path leaves count alone";
    EXPECT_EQ(out[0], 'd');
}

TEST(LFileCachedStream, WritesCollectInTheCacheUntilDestruction) {
    TempDir dir;
    const std::string path = dir.File("out");
    {
        LFileCachedStream s(MakeFileSpec(path), 100);
        s.OpenDataFork(2);
        s.PutBlock("0123456789", 10);
        EXPECT_EQ(s.GetMarker(), 10);
        EXPECT_EQ(s.GetLength(), 10) << "the cached bytes count past the end of the file";
        EXPECT_EQ(SizeOnDisk(path), 0) << "nothing has reached the file yet";
        s.SetMarker(4, 2);
        EXPECT_EQ(s.GetMarker(), 6);
        s.SetMarker(2, 0);
        s.PutBlock("AB", 2);
        EXPECT_EQ(s.GetMarker(), 4);
        EXPECT_EQ(s.GetLength(), 10) << "overwriting inside the cache does not grow it";
        EXPECT_EQ(SizeOnDisk(path), 0);
    }
    EXPECT_EQ(ReadFileText(path), "01AB456789");
}

TEST(LFileCachedStream, AReadPastTheEndDoesNotLengthenTheFile) {
    // A damaged header can send a read far beyond the end: it finds nothing, and the length
    // stays the file's (the converter trusts it to bound what it reads and allocates).
    TempDir dir;
    WriteFileText(dir.File("in"), "0123456789");
    LFileCachedStream s(MakeFileSpec(dir.File("in")), 100);
    s.OpenDataFork(0);
    s.SetMarker(0x7C000000, 0);
    char out[22];
    std::int32_t count = 22;
    EXPECT_EQ(s.GetBytes(out, count), 6);
    EXPECT_EQ(s.GetLength(), 10);
}

TEST(LFileCachedStream, WritesThatDoNotFitFlushFirst) {
    TempDir dir;
    const std::string path = dir.File("out");
    const std::string big = "ABCDEFGHIJKLMNOPQRST";
    LFileCachedStream s(MakeFileSpec(path), 8);
    s.OpenDataFork(2);
    s.PutBlock("abcde", 5);
    s.PutBlock("fghij", 5); // does not fit behind the first five: flushed, then cached anew
    EXPECT_EQ(s.GetMarker(), 10);
    s.PutBlock(big.data(), 20); // larger than the cache: flushed, then written directly
    EXPECT_EQ(s.GetMarker(), 30);
    s.CloseDataFork();
    EXPECT_EQ(ReadFileText(path), "abcdefghij" + big);
}

TEST(LFileCachedStream, WriteBackKeepsTheBytesReadBeforeIt) {
    TempDir dir;
    const std::string path = dir.File("rw");
    const Bytes original = Pattern(20);
    LFileCachedStream s(MakeFileSpec(path), 8);
    s.OpenDataFork(2);
    s.PutBlock(original.data(), 20);
    s.SetMarker(0, 0);
    std::uint8_t two[2];
    s.GetBlock(two, 2); // the cache holds 0..7
    s.PutBlock("XY", 2);
    s.SetMarker(12, 0); // flushes the whole range 0..7
    s.GetBlock(two, 2);
    EXPECT_EQ(two[0], 12);
    EXPECT_EQ(two[1], 13);

    char back[6];
    std::int32_t count = 6;
    s.SetMarker(18, 0);
    s.PutBlock("zz", 2); // dirty bytes, then a read that runs past them
    s.SetMarker(18, 0);
    EXPECT_EQ(s.GetBytes(back, count), 6);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(std::string(back, 2), "zz");
    s.CloseDataFork();

    Bytes expected = original;
    expected[2] = 'X';
    expected[3] = 'Y';
    expected[18] = 'z';
    expected[19] = 'z';
    EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(LFileCachedStream, FailedWritesAreTraced) {
    TempDir dir;
    WriteFileText(dir.File("ro"), "read only file");
    LFileCachedStream s(MakeFileSpec(dir.File("ro")), 8);
    s.OpenDataFork(0);
    s.PutBlock("abc", 3); // accepted by the cache
    CaptureStderr();
    EXPECT_NO_THROW(s.FlushCache());
    EXPECT_EQ(GetCapturedStderr(), "LFileCachedStream::FlushCache()...fwrite: Bad file descriptor\n");
    EXPECT_EQ(s.GetMarker(), 3) << "the cache is emptied all the same";

    std::int32_t count = 20;
    CaptureStderr();
    EXPECT_EQ(s.PutBytes("01234567890123456789", count), EBADF);
    EXPECT_EQ(GetCapturedStderr(), "LFileCachedStream::PutBytes...fwrite: Bad file descriptor\n");
    EXPECT_EQ(count, 20);
    s.CloseDataFork();
    EXPECT_EQ(ReadFileText(dir.File("ro")), "read only file");
}

TEST(LFileCachedStream, AReadErrorIsNotTheEndOfTheFile) {
    TempDir dir;
    ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0700), 0);
    LFileCachedStream s(MakeFileSpec(dir.File("folder")), 0x40000);
    s.OpenDataFork(0); // opening a folder for reading succeeds; reading it fails
    char out[4];
    std::int32_t count = 4;
    EXPECT_EQ(s.GetBytes(out, count), EISDIR);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ThrownCode([&] { s.GetBlock(out, 4); }), EISDIR) << "and again, not 6 or 0";
}

TEST(LFileCachedStream, ACacheThatCannotBeHadThrows2) {
    EXPECT_EQ(ThrownCode([] { LFileCachedStream s(MakeFileSpec("/nonexistent"), -1); }), 2);
}
