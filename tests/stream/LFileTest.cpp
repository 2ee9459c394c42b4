#include "stream/LFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/Crt.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using testsupport::Bytes;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::ReadFileText;
using testsupport::TempDir;
using testsupport::WriteFileText;

namespace {

constexpr std::uint32_t kCreator = 0x44445A5A;
constexpr std::uint32_t kType = 0x54455854;

// Runs f, expecting it to throw a code; returns the code and what went to standard error.
template <typename F>
std::pair<std::int32_t, std::string> ThrownCode(F f) {
    CaptureStderr();
    std::int32_t code = 0;
    try {
        f();
        ADD_FAILURE() << "expected a thrown code";
    } catch (std::int32_t thrown) {
        code = thrown;
    }
    return {code, GetCapturedStderr()};
}

} // namespace

TEST(LFile, OpeningAMissingFileForReadingFails) {
    TempDir dir;
    const int before = crt::OpenStreamCount();
    for (std::int16_t permission : {std::int16_t{0}, std::int16_t{1}, std::int16_t{7}}) {
        LFile file(MakeFileSpec(dir.File("missing")));
        auto [code, trace] = ThrownCode([&] { file.OpenDataFork(permission); });
        EXPECT_EQ(code, 1) << "permission " << permission;
        EXPECT_EQ(trace, "LFile::OpenDataFork...fopen: No such file or directory\n");
        EXPECT_EQ(file.GetDataFork(), nullptr);
    }
    EXPECT_FALSE(FileExists(dir.File("missing")));
    EXPECT_EQ(crt::OpenStreamCount(), before);
}

TEST(LFile, PermissionTwoCreatesForReadingAndWriting) {
    TempDir dir;
    WriteFileText(dir.File("old"), "old contents");
    LFile file(MakeFileSpec(dir.File("old")));
    std::FILE* fork = file.OpenDataFork(2);
    ASSERT_NE(fork, nullptr);
    EXPECT_EQ(file.GetDataFork(), fork);
    EXPECT_EQ(ReadFileText(dir.File("old")), "") << "opened with truncation";
    ASSERT_EQ(std::fputs("new", fork), 1);
    std::rewind(fork);
    char back[4] = {};
    EXPECT_EQ(std::fread(back, 1, 3, fork), 3u) << "the fork reads as well";
    EXPECT_STREQ(back, "new");
}

TEST(LFile, ReadOnlyForkRefusesWrites) {
    TempDir dir;
    WriteFileText(dir.File("in"), "abc");
    LFile file(MakeFileSpec(dir.File("in")));
    std::FILE* fork = file.OpenDataFork(0);
    ASSERT_NE(fork, nullptr);
    EXPECT_EQ(std::fwrite("x", 1, 1, fork), 0u);
    file.CloseDataFork();
    EXPECT_EQ(ReadFileText(dir.File("in")), "abc");
}

TEST(LFile, CreateNewFileTruncatesAndKeepsNoHandle) {
    TempDir dir;
    WriteFileText(dir.File("out"), "previous");
    const int before = crt::OpenStreamCount();
    LFile file(MakeFileSpec(dir.File("out")));
    file.CreateNewFile(kCreator, kType, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("out")).size(), 0u);
    EXPECT_EQ(file.GetDataFork(), nullptr);
    EXPECT_EQ(crt::OpenStreamCount(), before);
}

TEST(LFile, CreationFailuresAreTracedAndThrown) {
    TempDir dir;
    LFile nowhere(MakeFileSpec(dir.File("no-such-folder/out")));
    auto [code, trace] = ThrownCode([&] { nowhere.CreateNewFile(kCreator, kType, 0); });
    EXPECT_EQ(code, ENOENT) << "CreateNewFile throws the error number";
    EXPECT_EQ(trace, "LFile::CreateNewFile...fopen: No such file or directory\n");

    auto [code2, trace2] = ThrownCode([&] { nowhere.CreateWritableFile(kCreator, kType, 0); });
    EXPECT_EQ(code2, 1) << "CreateWritableFile throws 1";
    EXPECT_EQ(trace2, "LFile::CreateNewFile...fopen: No such file or directory\n");
    EXPECT_EQ(nowhere.GetDataFork(), nullptr);
}

TEST(LFile, CreateWritableFileKeepsTheForkUntilClosed) {
    TempDir dir;
    const int before = crt::OpenStreamCount();
    {
        LFile file(MakeFileSpec(dir.File("probe")));
        file.CreateWritableFile(kCreator, kType, 0);
        ASSERT_NE(file.GetDataFork(), nullptr);
        EXPECT_EQ(crt::OpenStreamCount(), before + 1);
        ASSERT_EQ(std::fputs("kept", file.GetDataFork()), 1);
        // Left open: the destructor closes it, and the runtime writes its buffer then.
    }
    EXPECT_EQ(crt::OpenStreamCount(), before);
    EXPECT_EQ(ReadFileText(dir.File("probe")), "kept");
}

TEST(LFile, CloseDataForkClosesOnceAndQuietly) {
    TempDir dir;
    const int before = crt::OpenStreamCount();
    LFile file(MakeFileSpec(dir.File("f")));
    file.OpenDataFork(2);
    CaptureStderr();
    file.CloseDataFork();
    file.CloseDataFork();
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(file.GetDataFork(), nullptr);
    EXPECT_EQ(crt::OpenStreamCount(), before);
}

TEST(LFile, AFailedCloseIsTracedAndTheForkIsGone) {
    // Writes to /dev/full are buffered and fail when the close writes them out.
    LFile file(MakeFileSpec("/dev/full"));
    ASSERT_NE(file.OpenDataFork(2), nullptr);
    CaptureStderr(); // before the write: starting a capture flushes every stream
    std::fputs("lost", file.GetDataFork());
    file.CloseDataFork();
    EXPECT_EQ(GetCapturedStderr(), "LFile::CloseDataFork...fclose: No space left on device\n");
    EXPECT_EQ(file.GetDataFork(), nullptr);
}

TEST(LFile, OpeningAgainClosesTheOpenForkFirst) {
    TempDir dir;
    const int before = crt::OpenStreamCount();
    LFile file(MakeFileSpec(dir.File("twice")));
    file.OpenDataFork(2);
    ASSERT_EQ(std::fputs("pending", file.GetDataFork()), 1);
    file.OpenDataFork(0);
    EXPECT_EQ(crt::OpenStreamCount(), before + 1) << "the first fork must not leak";
    char back[8] = {};
    EXPECT_EQ(std::fread(back, 1, 7, file.GetDataFork()), 7u);
    EXPECT_STREQ(back, "pending") << "the first fork's bytes were written when it was closed";
}

TEST(LFile, SetFileSpecClosesAndRenames) {
    TempDir dir;
    LFile file(MakeFileSpec(dir.File("a")));
    file.OpenDataFork(2);
    file.SetFileSpec(MakeFileSpec(dir.File("b")));
    EXPECT_EQ(file.GetDataFork(), nullptr);
    file.CreateNewFile(kCreator, kType, 0);
    EXPECT_TRUE(FileExists(dir.File("b")));
}

TEST(LFile, WholeFileTransfers) {
    TempDir dir;
    LFile file(MakeFileSpec(dir.File("whole")));
    file.OpenDataFork(2);
    errno = EACCES; // an old error number must not be taken for a failure of this write
    EXPECT_EQ(file.WriteDataFork("0123456789", 10), 10);
    EXPECT_EQ(file.WriteDataFork("ab", 2), 2) << "every write starts at offset 0";
    std::fflush(file.GetDataFork());
    auto block = file.ReadDataFork();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::memcmp(block.get(), "ab23456789", 10), 0);
    file.CloseDataFork();
    EXPECT_EQ(ReadFileText(dir.File("whole")), "ab23456789");

    LFile closed(MakeFileSpec(dir.File("whole")));
    EXPECT_EQ(ThrownCode([&] { closed.ReadDataFork(); }).first, -1) << "no fork to query";
    EXPECT_EQ(ThrownCode([&] { closed.WriteDataFork("x", 1); }).first, -1);
}

TEST(LFile, AFailedWholeFileWriteIsTracedAndThrown) {
    TempDir dir;
    WriteFileText(dir.File("ro"), "abc");
    LFile file(MakeFileSpec(dir.File("ro")));
    file.OpenDataFork(0);
    auto [code, trace] = ThrownCode([&] { file.WriteDataFork("xyz", 3); });
    EXPECT_EQ(code, EBADF);
    EXPECT_EQ(trace, "LFile::WriteDataFork()...fwrite: Bad file descriptor\n");
}

TEST(LFile, ADirectoryReadsAsAFailure) {
    TempDir dir;
    ::mkdir(dir.File("sub").c_str(), 0700);
    LFile file(MakeFileSpec(dir.File("sub")));
    file.OpenDataFork(0); // the runtime opens a directory for reading; its reads fail
    struct stat status {};
    ASSERT_EQ(::stat(dir.File("sub").c_str(), &status), 0);
    if (status.st_size == 0) GTEST_SKIP() << "this file system gives folders no size";
    auto [code, trace] = ThrownCode([&] { file.ReadDataFork(); });
    EXPECT_EQ(code, EISDIR);
    EXPECT_EQ(trace, "LFile::ReadDataFork()...fread: Is a directory\n");
}

TEST(LFile, RemoveSpecFileDeletesQuietly) {
    TempDir dir;
    WriteFileText(dir.File("gone"), "x");
    CaptureStderr();
    RemoveSpecFile(MakeFileSpec(dir.File("gone")));
    RemoveSpecFile(MakeFileSpec(dir.File("never-there")));
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_FALSE(FileExists(dir.File("gone")));
}
