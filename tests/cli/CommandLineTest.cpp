// The command line as people give it: names with spaces (from a shell or a file manager), the
// usual options, the report of what became of each name, the exit status a script reads, and
// read-only media. Each test runs the real program headless, as a script would.
#include "tests/cli/Cli.h"
#include "tests/harness/KobFiles.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Process.h"
#include "tests/support/Slowdown.h"
#include "tests/support/TempDir.h"
#include "tools/kobenc/Damage.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

using testsupport::Bytes;
using testsupport::ListDir;
using testsupport::ReadFileBytes;
using testsupport::ReadFileText;
using testsupport::TempDir;
using Names = std::vector<std::string>;
using cli::CommandLine;
using cli::MakeKob;
using cli::RunDudez;
using cli::WaveOf;
using cli::kFrames;


TEST_F(CommandLine, ANameWithSpacesIsOneNameWhenItNamesAFile) {
    // As a shell or a file manager hands it over: one argument, spaces and all, in a folder
    // whose name has spaces too.
    std::filesystem::create_directory(dir.File("Old Tapes"));
    const std::string tape = MakeKob(dir.File("Old Tapes/My Old Tape.kob"), "Side A.aif", 1);
    const testsupport::Finished run = RunDudez(dir.Path(), {"Old Tapes/My Old Tape.kob"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(ReadFileBytes(dir.File("Old Tapes/side a.wav")) == WaveOf("Side A.aif", 1));
    EXPECT_EQ(run.out, "Old Tapes/My Old Tape.kob: wrote Old Tapes/side a.wav\n"
                       "dudez: 1 name, 1 converted (0 with damage), 0 not a KOB file or corrupted, "
                       "0 could not be opened, 0 not converted\n");
}

TEST_F(CommandLine, AnArgumentThatNamesNoFileIsStillSplitAtSpaces) {
    MakeKob(dir.File("a.kob"), "A.aif", 1);
    MakeKob(dir.File("b.kob"), "B.aif", 2);
    // "a.kob  b.kob" names nothing: it is two names, as the program has always read it.
    const testsupport::Finished run = RunDudez(dir.Path(), {"a.kob  b.kob"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(ReadFileBytes(dir.File("a.wav")) == WaveOf("A.aif", 1));
    EXPECT_TRUE(ReadFileBytes(dir.File("b.wav")) == WaveOf("B.aif", 2));
    EXPECT_NE(run.out.find("dudez: 2 names, 2 converted"), std::string::npos) << run.out;

    // Quotes are no quoting: "\"a.kob" and "b.kob\"" are the names, and neither exists.
    const testsupport::Finished quoted = RunDudez(dir.Path(), {"\"a.kob b.kob\""});
    EXPECT_EQ(quoted.code, 1);
    EXPECT_EQ(quoted.out, "\"a.kob: could not be opened: No such file or directory\n"
                          "b.kob\": not converted: the list ended at a file that could not be opened\n"
                          "dudez: 2 names, 0 converted (0 with damage), 0 not a KOB file or corrupted, "
                          "1 could not be opened, 1 not converted\n");
}

TEST_F(CommandLine, HelpAndVersionAnswerAloneAndTouchNothing) {
    const testsupport::Finished version = RunDudez(dir.Path(), {"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "dudez 1.0.1\n");
    EXPECT_EQ(version.err, "");
    for (const std::string option : {"--help", "-h"}) {
        SCOPED_TRACE(option);
        const testsupport::Finished help = RunDudez(dir.Path(), {option});
        EXPECT_EQ(help.code, 0);
        EXPECT_EQ(help.out.rfind("Usage: dudez [OPTION]... FILE.kob...\n", 0), 0u) << help.out;
        for (const char* said : {"Exit status", "Escape", "man dudez", "current", "--output-dir DIR", "--test",
                                 "--keep-going", "--rescue", "--quiet", "--window", "--no-window"})
            EXPECT_NE(help.out.find(said), std::string::npos) << said;
        EXPECT_EQ(help.err, "");
    }
    EXPECT_EQ(ListDir(dir.Path()), Names{}) << "no file touched";

    // Among other names, or as a file that exists, it is a name like any other.
    MakeKob(dir.File("--help"), "Helpful.aif", 3);
    const testsupport::Finished file = RunDudez(dir.Path(), {"--help"});
    EXPECT_EQ(file.code, 0) << file.err;
    EXPECT_TRUE(ReadFileBytes(dir.File("helpful.wav")) == WaveOf("Helpful.aif", 3));
    // Among other options the first answer wins; after the names, an option is a name.
    const testsupport::Finished among = RunDudez(dir.Path(), {"-k", "--version", "--help"});
    EXPECT_EQ(among.code, 0);
    EXPECT_EQ(among.out, "dudez 1.0.1\n");
    const testsupport::Finished after = RunDudez(dir.Path(), {"--help", "--version"});
    EXPECT_EQ(after.code, 1) << "the file --help is a name, so --version is one too";
    EXPECT_NE(after.out.find("--version: could not be opened: No such file or directory\n"), std::string::npos) << after.out;
}

TEST_F(CommandLine, AMisusedOptionIsExplainedAndTouchesNothing) {
    MakeKob(dir.File("a.kob"), "A.aif", 1);
    for (const Names& arguments : std::vector<Names>{{"--bogus", "a.kob"}, {"-x", "a.kob"}, {"-kx", "a.kob"},
                                                     {"a.kob", "-o"}, {"-o"}, {"--output-dir"},
                                                     {"--output-dir="}, {"--test=yes", "a.kob"}}) {
        const std::string shown = testing::PrintToString(arguments);
        SCOPED_TRACE(shown);
        const testsupport::Finished run = RunDudez(dir.Path(), arguments);
        if (arguments[0] == "a.kob") {
            // A name ends the options: "-o" after it is a name that does not exist.
            EXPECT_EQ(run.code, 1);
            EXPECT_NE(run.out.find("-o: could not be opened"), std::string::npos) << run.out;
            ASSERT_EQ(std::remove(dir.File("a.wav").c_str()), 0);
            continue;
        }
        EXPECT_EQ(run.code, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("dudez: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 3) << run.err;
        EXPECT_NE(run.err.find("Usage: dudez [OPTION]... FILE.kob...\n"), std::string::npos) << run.err;
        EXPECT_EQ(ListDir(dir.Path()), Names{"a.kob"}) << "nothing touched";
    }
    // "--" ends the options, so a name may begin with a dash.
    MakeKob(dir.File("-odd.kob"), "Odd.aif", 2);
    ASSERT_EQ(std::rename(dir.File("-odd.kob").c_str(), dir.File("-p.kob").c_str()), 0);
    const testsupport::Finished dashed = RunDudez(dir.Path(), {"-q", "--", "-p.kob"});
    EXPECT_EQ(dashed.code, 0) << dashed.out << dashed.err;
    EXPECT_TRUE(ReadFileBytes(dir.File("odd.wav")) == WaveOf("Odd.aif", 2));
}

TEST_F(CommandLine, TheReportSaysWhatBecameOfEveryNameAndTheStatusFollowsIt) {
    MakeKob(dir.File("good.kob"), "Good.aif", 1);
    MakeKob(dir.File("damaged.kob"), "Damaged.aif", 2, true);
    testsupport::WriteFileText(dir.File("bad.kob"), "not a KOB file");
    MakeKob(dir.File("later.kob"), "Later.aif", 3);

    // All good: status 0.
    const testsupport::Finished clean = RunDudez(dir.Path(), {"good.kob", "damaged.kob"});
    EXPECT_EQ(clean.code, 0);
    EXPECT_EQ(clean.out, "good.kob: wrote good.wav\n"
                         "damaged.kob: wrote damaged.wav, 1 damaged stretch silenced, listed in damaged.wav.err\n"
                         "dudez: 2 names, 2 converted (1 with damage), 0 not a KOB file or corrupted, "
                         "0 could not be opened, 0 not converted\n");

    // A mixed batch: good, damaged, bad, missing, and one never reached.
    const testsupport::Finished mixed = RunDudez(dir.Path(), {"good.kob", "damaged.kob", "bad.kob", "missing.kob", "later.kob"});
    EXPECT_EQ(mixed.code, 1);
    EXPECT_EQ(mixed.out, "good.kob: wrote good.1.wav\n"
                         "damaged.kob: wrote damaged.1.wav, 1 damaged stretch silenced, listed in damaged.1.wav.err\n"
                         "bad.kob: not a KOB file or corrupted\n"
                         "missing.kob: could not be opened: No such file or directory\n"
                         "later.kob: not converted: the list ended at a file that could not be opened\n"
                         "dudez: 5 names, 2 converted (1 with damage), 1 not a KOB file or corrupted, "
                         "1 could not be opened, 1 not converted\n");
    EXPECT_EQ(mixed.err, "Error: bad.kob is not a KOB file or corrupted\n"
                         "LFile::OpenDataFork...fopen: No such file or directory\n"
                         "Caught Error: : No such file or directory\n");

    // Only a bad file: status 1 although the list ran to its end.
    EXPECT_EQ(RunDudez(dir.Path(), {"bad.kob"}).code, 1);
}

TEST_F(CommandLine, ReadOnlyMediaKeepTheRecordingsNames) {
    // The KOB file's folder takes no new file: the outputs go into the current directory, each
    // under the name it would have had.
    cli::ReadOnlyMedium medium(dir.File("disc"));
    std::filesystem::create_directory(dir.File("here"));
    if (!medium.Open()) GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    MakeKob(dir.File("disc/tape1.kob"), "Song One.AIF", 1);
    MakeKob(dir.File("disc/tape2.kob"), "Song Two.snd", 2);
    ASSERT_TRUE(medium.Close());
    const testsupport::Finished run = RunDudez(dir.File("here"), {dir.File("disc/tape1.kob"), dir.File("disc/tape2.kob")});
    // Run from the medium itself, nowhere takes a file: the report says so, not that the file
    // is damaged.
    const testsupport::Finished nowhere = RunDudez(dir.File("disc"), {"tape1.kob"});
    const Names disc = ListDir(dir.File("disc"));
    medium.Release();
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(disc, (Names{"tape1.kob", "tape2.kob"}));
    EXPECT_EQ(ListDir(dir.File("here")), (Names{"song one.wav", "song two.wav"}));
    EXPECT_TRUE(ReadFileBytes(dir.File("here/song one.wav")) == WaveOf("Song One.AIF", 1));
    EXPECT_TRUE(ReadFileBytes(dir.File("here/song two.wav")) == WaveOf("Song Two.snd", 2));
    EXPECT_NE(run.out.find(dir.File("disc/tape1.kob") + ": wrote song one.wav\n"), std::string::npos) << run.out;
    EXPECT_EQ(nowhere.code, 1);
    EXPECT_EQ(nowhere.out.rfind(std::string("tape1.kob: could not write song one.wav: ") +
                                    medium.Refusal() + "\n",
                                0),
              0u)
        << nowhere.out;
}

TEST_F(CommandLine, RescueRestoresAFileThePlainReaderRefuses) {
    // The only entry header's checksum fails: the plain reader refuses the file and says that
    // --rescue may help; --rescue restores it whole under its own name, and the run succeeds.
    kobenc::EncodeOptions options;
    options.blockFrames = 1000;
    kobenc::KobFile file = kobenc::Encode({kobtest::Music("Tape.aif", 2, kFrames, 4)}, options);
    kobenc::Damage(file.entries[0], kobenc::EntryDamage::HeaderChecksum);
    kobtest::WriteKob(dir.File("tape.kob"), file);

    const testsupport::Finished plain = RunDudez(dir.Path(), {"tape.kob"});
    EXPECT_EQ(plain.code, 1);
    EXPECT_EQ(plain.out, "tape.kob: not a KOB file or corrupted\n"
                         "tape.kob: holds the signatures of entries or blocks: --rescue may restore part of it\n"
                         "dudez: 1 name, 0 converted (0 with damage), 1 not a KOB file or corrupted, "
                         "0 could not be opened, 0 not converted\n");

    const testsupport::Finished rescued = RunDudez(dir.Path(), {"--rescue", "tape.kob"});
    EXPECT_EQ(rescued.code, 0) << rescued.out << rescued.err;
    EXPECT_EQ(rescued.out, "tape.kob: wrote tape.wav, rescued (its entry header damaged), no stretch silenced\n"
                           "dudez: 1 name, 1 converted (1 with damage), 0 not a KOB file or corrupted, "
                           "0 could not be opened, 0 not converted\n");
    EXPECT_TRUE(ReadFileBytes(dir.File("tape.wav")) == WaveOf("Tape.aif", 4));
}
