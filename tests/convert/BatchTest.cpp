// The batch driver's handling of the command line: splitting, failures per file, a missing file
// that stops the batch, and the end of the batch announced to the window.
#include "tests/harness/BatchHarness.h"
#include "tests/harness/KobFiles.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using kobtest::Music;
using kobtest::WriteKob;
using testsupport::FileExists;
using testsupport::TempDir;

namespace {

class Batch : public testing::Test {
protected:
    TempDir dir;
    BatchWindow window;
    std::string Kob(const std::string& file, const std::string& stored) {
        return WriteKob(dir.File(file), kobenc::Encode({Music(stored, 1, 200)}));
    }
};

} // namespace

TEST_F(Batch, EmptyCommandLineEndsAtOnce) {
    for (const char* line : {"", "    "}) {
        const BatchRun run = window.Run(line);
        EXPECT_TRUE(run.finished);
        EXPECT_EQ(run.stderrText, "");
        EXPECT_TRUE(run.fileNameTexts.empty());
    }
}

TEST_F(Batch, BadFileIsReportedAndTheBatchGoesOn) {
    const std::string a = Kob("a.kob", "a.aif");
    const std::string junk = dir.File("b.kob");
    testsupport::WriteFileText(junk, "nothing here");
    const std::string c = Kob("c.kob", "c.aif");
    const BatchRun run = window.Run("  " + a + "   " + junk + " " + c + "  ");
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.stderrText, "Error: " + junk + " is not a KOB file or corrupted\n");
    EXPECT_TRUE(FileExists(dir.File("a.wav")));
    EXPECT_TRUE(FileExists(dir.File("c.wav")));
}

TEST_F(Batch, MissingFileStopsTheBatch) {
    const std::string a = Kob("a.kob", "a.aif");
    const std::string c = Kob("c.kob", "c.aif");
    const BatchRun run = window.Run(a + " " + dir.File("missing.kob") + " " + c);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.stderrText,
              "LFile::OpenDataFork...fopen: No such file or directory\nCaught Error: : No such file or directory\n");
    EXPECT_TRUE(FileExists(dir.File("a.wav")));
    EXPECT_FALSE(FileExists(dir.File("c.wav")));
}

TEST_F(Batch, DirectoryAsInputIsNotSearchedForEver) {
    const BatchRun run = window.Run(dir.Path());
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.stderrText, "Error: " + dir.Path() + " is not a KOB file or corrupted\n");
}

TEST_F(Batch, QuotesAreOrdinaryCharacters) {
    const std::string kob = Kob("x y.kob", "q.aif");
    const BatchRun run = window.Run("\"" + dir.File("x y.kob") + "\"");
    EXPECT_TRUE(run.finished);
    // Split at the blank; the first piece, quote and all, names no file: the batch stops there.
    EXPECT_NE(run.stderrText.find("Caught Error: "), std::string::npos);
    EXPECT_FALSE(FileExists(dir.File("q.wav")));
}

TEST_F(Batch, LongNamesAreCutForTheFileButShownWhole) {
    // A name of 300 characters: the file access uses its first 254, the message shows all 300.
    std::string name = dir.File(std::string(300 - dir.Path().size() - 1, 'n'));
    const BatchRun run = window.Run(name);
    EXPECT_TRUE(run.finished);
    EXPECT_NE(run.stderrText.find("Caught Error: "), std::string::npos);

    // A name of 2,000 characters that opens: the message keeps its fixed text whole.
    const std::string kob = WriteKob(dir.File("k"), kobenc::Encode({Music("k.aif", 1, 10)}));
    std::string longName = dir.Path();
    while (longName.size() < 2000) longName += "/.";
    longName += "/z";
    testsupport::WriteFileText(dir.File("z"), "not a kob");
    const BatchRun second = window.Run(longName);
    EXPECT_EQ(second.stderrText.size(), std::string("Error: ").size() + 1208 + 31 + 1) << second.stderrText;
    EXPECT_NE(second.stderrText.find(" is not a KOB file or corrupted\n"), std::string::npos);
}
