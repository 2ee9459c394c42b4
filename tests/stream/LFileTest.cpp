#include "stream/ErrorCode.h"
#include "stream/LFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/runtime/Crt.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using testsupport::FileExists;
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
    } catch (ErrorCode thrown) {
        code = thrown;
    }
    return {code, GetCapturedStderr()};
}

} // namespace

TEST(LFile, OpenForReadingNeedsAnExistingFile) {
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

    WriteFileText(dir.File("old"), "old contents");
    LFile file(MakeFileSpec(dir.File("old")));
    ASSERT_NE(file.OpenDataFork(2), nullptr);
    EXPECT_EQ(ReadFileText(dir.File("old")), "") << "permission 2 creates or truncates";
}

TEST(LFile, CreateNewFileNeverTruncatesAndHoldsWhatItMadeForTheDataFork) {
    TempDir dir;
    WriteFileText(dir.File("out"), "previous");
    const int before = crt::OpenStreamCount();
    LFile file(MakeFileSpec(dir.File("out")));
    // A name taken since it was chosen is a failure, never a file to empty.
    auto [code, trace] = ThrownCode([&] { file.CreateNewFile(kCreator, kType, 0); });
    EXPECT_EQ(code, EEXIST);
    EXPECT_EQ(trace, "LFile::CreateNewFile...fopen: File exists\n");
    EXPECT_EQ(ReadFileText(dir.File("out")), "previous");
    auto [code2, trace2] = ThrownCode([&] { file.CreateWritableFile(kCreator, kType, 0); });
    EXPECT_EQ(code2, 1);
    EXPECT_EQ(trace2, "LFile::CreateNewFile...fopen: File exists\n");
    EXPECT_EQ(ReadFileText(dir.File("out")), "previous");

    {
        LFile fresh(MakeFileSpec(dir.File("new")));
        fresh.CreateNewFile(kCreator, kType, 0);
        EXPECT_EQ(ReadFileText(dir.File("new")), "");
        EXPECT_EQ(fresh.GetDataFork(), nullptr);
        EXPECT_EQ(crt::OpenStreamCount(), before + 1) << "the file made is held for OpenDataFork(2)";
    }
    EXPECT_EQ(crt::OpenStreamCount(), before) << "and closed with its object";
}

TEST(LFile, TheDataForkIsTheFileCreatedWhateverTookItsNameSince) {
    // Someone who may write into the folder replaces the new file by a link to a file elsewhere
    // (or by a file of their own) between its creation and the opening of its data fork.
    for (const bool link : {true, false}) {
        SCOPED_TRACE(link ? "a link" : "another file");
        TempDir dir;
        TempDir elsewhere;
        WriteFileText(elsewhere.File("precious"), "not yours to write");
        LFile file(MakeFileSpec(dir.File("out.wav")));
        file.CreateNewFile(kCreator, kType, 0);
        std::filesystem::rename(dir.File("out.wav"), elsewhere.File("made"));
        if (link) {
            std::filesystem::create_symlink(elsewhere.File("precious"), dir.File("out.wav"));
        } else {
            WriteFileText(dir.File("out.wav"), "theirs");
        }
        std::FILE* fork = file.OpenDataFork(2);
        ASSERT_NE(fork, nullptr);
        ASSERT_EQ(std::fputs("written", fork), 1);
        file.CloseDataFork();
        EXPECT_EQ(ReadFileText(elsewhere.File("precious")), "not yours to write");
        EXPECT_EQ(ReadFileText(elsewhere.File("made")), "written");
        if (!link) {
            EXPECT_EQ(ReadFileText(dir.File("out.wav")), "theirs");
        }
    }
}

TEST(LFile, AnotherNameOrAReadingOpenLetsGoOfTheFileMade) {
    TempDir dir;
    const int before = crt::OpenStreamCount();
    LFile file(MakeFileSpec(dir.File("a")));
    file.CreateNewFile(kCreator, kType, 0);
    ASSERT_NE(file.OpenDataFork(0), nullptr);   // read only: the file by its name
    file.CloseDataFork();
    EXPECT_EQ(crt::OpenStreamCount(), before);

    EXPECT_EQ(ThrownCode([&] { file.CreateNewFile(kCreator, kType, 0); }).first, EEXIST);
    file.SetFileSpec(MakeFileSpec(dir.File("b")));
    file.CreateNewFile(kCreator, kType, 0);
    file.SetFileSpec(MakeFileSpec(dir.File("c")));
    EXPECT_EQ(crt::OpenStreamCount(), before) << "a new name closes what was made for the old one";
    ASSERT_NE(file.OpenDataFork(2), nullptr);
    EXPECT_TRUE(FileExists(dir.File("c"))) << "without a creation, permission 2 creates the file";
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
}

TEST(LFile, ClosingIsQuietOnceAndTracedWhenItFails) {
    TempDir dir;
    const int before = crt::OpenStreamCount();
    {
        LFile file(MakeFileSpec(dir.File("probe")));
        file.CreateWritableFile(kCreator, kType, 0);
        ASSERT_EQ(std::fputs("kept", file.GetDataFork()), 1);
        CaptureStderr();
        file.CloseDataFork();
        file.CloseDataFork();
        EXPECT_EQ(GetCapturedStderr(), "");
        EXPECT_EQ(file.GetDataFork(), nullptr);
        file.OpenDataFork(0); // left open: the destructor closes it
    }
    EXPECT_EQ(crt::OpenStreamCount(), before);
    EXPECT_EQ(ReadFileText(dir.File("probe")), "kept");

    // Writes to /dev/full are buffered and fail when the close writes them out.
    LFile full(MakeFileSpec("/dev/full"));
    ASSERT_NE(full.OpenDataFork(2), nullptr);
    CaptureStderr(); // before the write: starting a capture flushes every stream
    std::fputs("lost", full.GetDataFork());
    full.CloseDataFork();
    EXPECT_EQ(GetCapturedStderr(), "LFile::CloseDataFork...fclose: No space left on device\n");
    EXPECT_EQ(full.GetDataFork(), nullptr);
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

TEST(LFile, WholeFileTransfers) {
    TempDir dir;
    LFile file(MakeFileSpec(dir.File("whole")));
    file.OpenDataFork(2);
    errno = EACCES; // an old error number must not be taken for a failure of this write
    EXPECT_EQ(file.WriteDataFork("0123456789", 10), 10);
    EXPECT_EQ(file.WriteDataFork("ab", 2), 2) << "every write starts at offset 0";
    std::fflush(file.GetDataFork());
    auto block = file.ReadDataFork();
    EXPECT_EQ(std::memcmp(block.get(), "ab23456789", 10), 0);

    LFile closed(MakeFileSpec(dir.File("whole")));
    EXPECT_EQ(ThrownCode([&] { closed.ReadDataFork(); }).first, -1) << "no fork to query";
    closed.OpenDataFork(0);
    auto [code, trace] = ThrownCode([&] { closed.WriteDataFork("xyz", 3); });
    EXPECT_EQ(code, EBADF);
    EXPECT_EQ(trace, "LFile::WriteDataFork()...fwrite: Bad file descriptor\n");
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
