// Files the program creates count as unfinished until they are kept or removed, and the exit
// clean-up removes those still unfinished, never a file the program did not make.
#include "platform/runtime/Crt.h"
#include "ui/AppShell.h"
#include "ui/Globals.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>

using testsupport::FileExists;
using testsupport::ReadFileText;
using testsupport::TempDir;
using testsupport::WriteFileText;

TEST(UnfinishedFiles, OnlyFilesMadeHereAreUnfinishedUntilKeptOrRemoved) {
    TempDir dir;
    const std::string made = dir.File("made");
    std::FILE* stream = crt::fopen(made.c_str(), "wbx");
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(crt::IsUnfinished(made.c_str()));
    crt::fclose(stream);
    EXPECT_TRUE(crt::IsUnfinished(made.c_str())) << "closing is not finishing";
    crt::KeepFiles({made.c_str()});
    EXPECT_FALSE(crt::IsUnfinished(made.c_str()));

    // An exclusive open of a file that is there fails and leaves it as it was.
    WriteFileText(dir.File("theirs"), "theirs");
    errno = 0;
    EXPECT_EQ(crt::fopen(dir.File("theirs").c_str(), "wbx"), nullptr);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(ReadFileText(dir.File("theirs")), "theirs");
    EXPECT_FALSE(crt::IsUnfinished(dir.File("theirs").c_str()));

    // A plain open for writing makes no claim on the file.
    std::FILE* plain = crt::fopen(dir.File("plain").c_str(), "wb");
    crt::fclose(plain);
    EXPECT_FALSE(crt::IsUnfinished(dir.File("plain").c_str()));

    const std::string removed = dir.File("removed");
    crt::fclose(crt::fopen(removed.c_str(), "wbx"));
    EXPECT_EQ(crt::remove(removed.c_str()), 0);
    EXPECT_FALSE(crt::IsUnfinished(removed.c_str()));
}

// The clean-up shuts the file work for good, so it runs in a child process.
TEST(UnfinishedFilesDeathTest, TheExitCleanUpRemovesWhatWasLeftUnfinished) {
    TempDir dir;
    const std::string open = dir.File("open"), closed = dir.File("closed"), kept = dir.File("kept"),
                      plain = dir.File("plain"), theirs = dir.File("theirs");
    WriteFileText(theirs, "theirs");
    EXPECT_EXIT(
        {
            std::FILE* a = crt::fopen(open.c_str(), "wbx");
            crt::fwrite("half", 1, 4, a);
            crt::fclose(crt::fopen(closed.c_str(), "wbx"));
            crt::fclose(crt::fopen(kept.c_str(), "wbx"));
            crt::KeepFiles({kept.c_str()});
            crt::fclose(crt::fopen(plain.c_str(), "wb"));
            crt::fopen(theirs.c_str(), "wbx");   // fails: not ours
            std::fprintf(stderr, "closed=%d", crt::_fcloseall());
            std::fflush(stderr);
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "closed=1");
    EXPECT_FALSE(FileExists(open));
    EXPECT_FALSE(FileExists(closed));
    EXPECT_TRUE(FileExists(kept));
    EXPECT_TRUE(FileExists(plain));
    EXPECT_EQ(ReadFileText(theirs), "theirs");
}

// The name the panel shows at exit may no longer be ours: the entry failed, removed its output,
// and someone else has made a file of that name since. The exit clean-up leaves it alone.
TEST(UnfinishedFilesDeathTest, TheExitCleanUpNeverDeletesAFileByNameAlone) {
    TempDir dir;
    const std::string theirs = dir.File("take.wav");
    WriteFileText(theirs, "made after the entry failed");
    EXPECT_EXIT(
        {
            std::snprintf(gExitDeleteName, sizeof gExitDeleteName, "%s", theirs.c_str());
            ExitCleanup();
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFileText(theirs), "made after the entry failed");
}
