// The options a Linux user reaches for, with the real program: an output folder, a test run
// that writes nothing, keeping going past a missing file, and a quiet report.
#include "tests/cli/Cli.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

using cli::CommandLine;
using cli::MakeKob;
using cli::Names;
using cli::RunDudez;
using cli::WaveOf;
using testsupport::ListDir;
using testsupport::ReadFileBytes;

namespace {

constexpr char kSummaryTail[] = "0 not a KOB file or corrupted, 0 could not be opened, 0 not converted\n";

} // namespace

TEST_F(CommandLine, AnOutputFolderTakesEveryOutputAndNothingElse) {
    std::filesystem::create_directory(dir.File("in"));
    std::filesystem::create_directory(dir.File("out"));
    MakeKob(dir.File("a.kob"), "A.aif", 1);
    MakeKob(dir.File("in/b.kob"), "B.aif", 2, true);
    const testsupport::Finished run = RunDudez(dir.Path(), {"-o", "out", "a.kob", "in/b.kob"});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(ListDir(dir.File("out")), (Names{"a.wav", "b.wav", "b.wav.err"}));
    EXPECT_EQ(ListDir(dir.File("in")), Names{"b.kob"});
    EXPECT_TRUE(ReadFileBytes(dir.File("out/a.wav")) == WaveOf("A.aif", 1));
    EXPECT_EQ(run.out, "a.kob: wrote out/a.wav\n"
                       "in/b.kob: wrote out/b.wav, 1 damaged stretch silenced, listed in out/b.wav.err\n"
                       "dudez: 2 names, 2 converted (1 with damage), " + std::string(kSummaryTail));
    // Written again, it takes the next free names there.
    EXPECT_EQ(RunDudez(dir.Path(), {"--output-dir=out", "a.kob"}).code, 0);
    EXPECT_TRUE(ReadFileBytes(dir.File("out/a.1.wav")) == WaveOf("A.aif", 1));

    // A folder that cannot be used is an error before anything is converted.
    testsupport::WriteFileText(dir.File("plain"), "");
    for (const std::string& bad : {std::string("missing"), std::string("plain")}) {
        const testsupport::Finished refused = RunDudez(dir.Path(), {"-o", bad, "a.kob"});
        EXPECT_EQ(refused.code, 2) << bad;
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(refused.err.rfind("dudez: cannot write into " + bad + ": ", 0), 0u) << refused.err;
    }
    EXPECT_EQ(ListDir(dir.Path()), (Names{"a.kob", "in", "out", "plain"}));
}

TEST_F(CommandLine, ATestRunWritesNothingAndItsStatusTellsDamage) {
    // On read-only media, where nothing could be written anyway, and in a writable current
    // directory, where a conversion would write: a test writes nowhere.
    cli::ReadOnlyMedium medium(dir.File("disc"));
    std::filesystem::create_directory(dir.File("here"));
    if (!medium.Open()) GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    MakeKob(dir.File("disc/good.kob"), "Good.aif", 1);
    MakeKob(dir.File("disc/damaged.kob"), "Damaged.aif", 2, true);
    MakeKob(dir.File("here/damaged.wav"), "Taken.aif", 3);   // the name is taken here
    ASSERT_TRUE(medium.Close());
    const std::string good = dir.File("disc/good.kob"), damaged = dir.File("disc/damaged.kob");
    const testsupport::Finished both = RunDudez(dir.File("here"), {"-t", good, damaged});
    const testsupport::Finished whole = RunDudez(dir.File("here"), {"--test", good});
    const testsupport::Finished quiet = RunDudez(dir.File("here"), {"-tq", good, damaged});
    const testsupport::Finished rescue = RunDudez(dir.File("here"), {"-t", "--rescue", damaged});
    const Names disc = ListDir(dir.File("disc"));
    medium.Release();
    EXPECT_EQ(disc, (Names{"damaged.kob", "good.kob"}));
    EXPECT_EQ(ListDir(dir.File("here")), Names{"damaged.wav"});
    EXPECT_EQ(both.code, 1);
    EXPECT_EQ(both.out, good + ": would write good.wav, whole\n" + damaged +
                            ": would write damaged.1.wav, 1 damaged stretch to silence: frames 0 to 1000 of channel 2\n"
                            "dudez: 2 names, 2 converted (1 with damage), " + kSummaryTail);
    EXPECT_EQ(whole.code, 0) << whole.out;
    EXPECT_EQ(quiet.code, 1);
    EXPECT_EQ(quiet.out.find("good.wav"), std::string::npos) << quiet.out;
    EXPECT_NE(quiet.out.find("damaged.1.wav"), std::string::npos) << quiet.out;
    // With --rescue, what a rescue would restore, in its words.
    EXPECT_EQ(rescue.code, 1);
    EXPECT_EQ(rescue.out.rfind(damaged + ": would write damaged.1.wav, restored with 1 damaged stretch silenced: "
                                         "frames 0 to 1000 of channel 2\n", 0),
              0u)
        << rescue.out;
}

TEST_F(CommandLine, KeepGoingPassesAFileThatCannotBeOpenedAndQuietTellsOnlyProblems) {
    MakeKob(dir.File("good.kob"), "Good.aif", 1);
    MakeKob(dir.File("damaged.kob"), "Damaged.aif", 2, true);
    const testsupport::Finished stops = RunDudez(dir.Path(), {"missing.kob", "good.kob"});
    EXPECT_FALSE(testsupport::FileExists(dir.File("good.wav"))) << "without -k the list ends there";
    EXPECT_EQ(stops.code, 1);

    const testsupport::Finished goes = RunDudez(dir.Path(), {"-k", "-q", "missing.kob", "good.kob", "damaged.kob"});
    EXPECT_EQ(goes.code, 1);
    EXPECT_TRUE(ReadFileBytes(dir.File("good.wav")) == WaveOf("Good.aif", 1));
    EXPECT_EQ(goes.out, "missing.kob: could not be opened: No such file or directory\n"
                        "damaged.kob: wrote damaged.wav, 1 damaged stretch silenced, listed in damaged.wav.err\n"
                        "dudez: 3 names, 2 converted (1 with damage), 0 not a KOB file or corrupted, "
                        "1 could not be opened, 0 not converted\n");
}

// A launcher asks for the window: where none can be shown the run still converts, and its log
// says why nothing appeared. Without the request a script's run says nothing of windows.
TEST_F(CommandLine, AWindowAskedForWhereNoneCanBeShownIsSaidAndTheRunGoesOn) {
    MakeKob(dir.File("good.kob"), "Good.aif", 1);
    const testsupport::Finished asked = RunDudez(dir.Path(), {"--window", "good.kob"});
    EXPECT_EQ(asked.code, 0);
    EXPECT_TRUE(ReadFileBytes(dir.File("good.wav")) == WaveOf("Good.aif", 1));
    EXPECT_EQ(asked.err, "dudez: no window can be shown (no X display could be opened, and no terminal is ours); "
                         "converting without one\n");
    std::filesystem::remove(dir.File("good.wav"));
    EXPECT_EQ(RunDudez(dir.Path(), {"good.kob"}).err, "");
}
