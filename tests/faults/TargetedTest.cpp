// Chosen failures of the file system under a conversion: a name taken just before the output is
// created, the output folder going away, a close that cannot write out the last bytes, and a
// small disk that really fills up.
#include "convert/BatchReport.h"
#include "platform/runtime/Crt.h"
#include "tests/faults/Scenario.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>
#include <iostream>

using crt::testing::Operation;
using faults::Scenario;
using faults::State;
using faults::Workspace;
using testsupport::ListDir;
using testsupport::ReadFileBytes;
using testsupport::ReadFileText;
using testsupport::WriteFileText;
using Names = std::vector<std::string>;

namespace {

class Targeted : public faults::ScenarioTest {
protected:
    static std::string NotAKob(const Workspace& work, const std::string& input) {
        return "Error: " + work.Input(input) + " is not a KOB file or corrupted\n";
    }
    static const testsupport::Bytes& Reference(const std::string& name) { return scenario->reference.at(name); }

};


} // namespace

TEST_F(Targeted, ANameTakenJustBeforeItsCreationGivesWayToTheNextFreeName) {
    // The output's and the listing's names are chosen when they are complete; a file that
    // appears under one of them just before it is given (another copy of the program at work in
    // the same folder) is left alone, and the file takes the next free name instead.
    struct Case {
        std::string taken;
        Names outputs;   // what the folder holds besides inputs and user files
    };
    const std::vector<Case> cases{
        {"keep.1.wav", {"keep.1.wav", "keep.2.wav", "keep.2.wav.err", "second.wav", "third.wav"}},
        {"keep.1.wav.err", {"keep.1.wav", "keep.1.wav.1.err", "keep.1.wav.err", "second.wav", "third.wav"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.taken);
        Workspace work(*scenario);
        crt::testing::Reset();
        crt::testing::OnCall({Operation::Rename, 1, "/" + c.taken},
                             [&] { WriteFileText(work.Input(c.taken), "someone else's"); });
        const BatchRun run = work.Run(*window);
        crt::testing::Disable();
        EXPECT_EQ(run.stderrText, "");
        EXPECT_EQ(ReadFileText(work.Input(c.taken)), "someone else's");
        Names expected{"a.kob", "b.kob", "keep.wav", "notes.txt"};
        expected.insert(expected.end(), c.outputs.begin(), c.outputs.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListDir(work.Dir()), expected);
        // Nothing is lost: the moved output and its listing are those of the clean run.
        const bool waveMoved = c.taken == "keep.1.wav";
        EXPECT_EQ(ReadFileBytes(work.Input(waveMoved ? "keep.2.wav" : "keep.1.wav")), Reference("keep.1.wav"));
        EXPECT_EQ(ReadFileBytes(work.Input(waveMoved ? "keep.2.wav.err" : "keep.1.wav.1.err")),
                  Reference("keep.1.wav.err"));
        EXPECT_EQ(ReadFileBytes(work.Input("second.wav")), Reference("second.wav"));
        EXPECT_EQ(ReadFileBytes(work.Input("third.wav")), Reference("third.wav"));
        EXPECT_EQ(ReadFileBytes(work.Input("keep.wav")), scenario->userFiles.at("keep.wav"));
    }

    // The probe's name taken in between: the folder still takes files, so the probe tries
    // another name and the output goes where it belongs, not to the fallback.
    Workspace work(*scenario);
    crt::testing::Reset();
    crt::testing::ArmFault({Operation::Open, 1, "/.Keep.aif.dudez-*"}, EEXIST);
    const BatchRun run = work.Run(*window);
    crt::testing::Disable();
    EXPECT_EQ(run.stderrText, "LFile::CreateNewFile...fopen: File exists\n");
    EXPECT_EQ(work.Judge(), (std::vector<State>{State::Complete, State::Complete, State::Complete}));
}

TEST_F(Targeted, ALinkPutInPlaceOfANewOutputIsNeverFollowed) {
    // While a file is written under its hidden name, someone who may write into the folder puts
    // a link to a file elsewhere at that name. What the program writes goes into the file it
    // made, never through the link, and the link never gets the output's name.
    for (const std::string file : {"keep.1.wav", "keep.1.wav.err"}) {
        for (const Operation when : {Operation::Write, Operation::Close, Operation::Rename}) {
            SCOPED_TRACE(file + " at its first " + std::to_string(static_cast<int>(when)));
            Workspace work(*scenario);
            testsupport::TempDir elsewhere;
            const std::string victim = elsewhere.File("precious");
            WriteFileText(victim, "not yours to write");
            crt::testing::Reset();
            std::string hidden;
            const auto swap = [&] {
                for (const std::string& name : ListDir(work.Dir()))
                    if (name.rfind("." + file + ".dudez-", 0) == 0) hidden = name;
                ASSERT_FALSE(hidden.empty());
                std::filesystem::rename(work.Input(hidden), elsewhere.File("moved"));
                std::filesystem::create_symlink(victim, work.Input(hidden));
            };
            const std::string pattern = when == Operation::Rename ? "/" + file : "/." + file + ".dudez-*";
            crt::testing::OnCall({when, 1, pattern}, swap);
            work.Run(*window);
            crt::testing::Disable();
            ASSERT_FALSE(hidden.empty()) << "never swapped";
            EXPECT_EQ(ReadFileText(victim), "not yours to write");
            EXPECT_FALSE(std::filesystem::is_symlink(work.Input(file))) << "the link got the output's name";
            // The file moved away is the one that was written, as far as it got.
            const testsupport::Bytes moved = ReadFileBytes(elsewhere.File("moved"));
            const testsupport::Bytes& reference = Reference(file);
            EXPECT_TRUE(moved.size() <= reference.size() && std::equal(moved.begin(), moved.end(), reference.begin()));
            if (when == Operation::Rename) {
                EXPECT_TRUE(moved == reference);
            }
        }
    }
}

TEST_F(Targeted, TheOutputFolderGoingAwayLeavesNothingHalfWritten) {
    // Removed, or replaced by a file, while the first output is being written: at its first
    // damaged block, just before its listing is made (which then fails, and so does the
    // entry), or when its samples go into the file (the file is then written to the end, but
    // cannot get its name in a folder that is gone). Nothing goes anywhere else: not into the
    // current directory, not into what now stands at the folder's path.
    for (const bool replaced : {false, true}) {
        for (const bool atListing : {true, false}) {
            SCOPED_TRACE(std::string(replaced ? "replaced by a file" : "removed") +
                         (atListing ? " before the listing" : " before the samples"));
            Workspace work(*scenario);
            crt::testing::Reset();
            const crt::testing::Trigger trigger = atListing
                ? crt::testing::Trigger{Operation::Open, 1, "/.keep.1.wav.err.dudez-*"}
                : crt::testing::Trigger{Operation::Write, 2, "/.keep.1.wav.dudez-*"};
            crt::testing::OnCall(trigger, [&] {
                std::filesystem::remove_all(work.Dir());
                if (replaced) WriteFileText(work.Dir(), "a file now");
            });
            const BatchRun run = work.Run(*window);
            crt::testing::Disable();
            // The folder the program holds is gone, whatever stands at its path now; so is the
            // second input, which is in it.
            const std::string error = "No such file or directory";
            const std::string stop = "LFile::OpenDataFork...fopen: " + error + "\nCaught Error: : " + error + "\n";
            EXPECT_EQ(run.stderrText, (atListing ? "LFile::CreateNewFile...fopen: " + error + "\n" : std::string()) +
                                          NotAKob(work, "a.kob") + stop);
            const std::string report = TheBatchReport().Conclude().text;
            EXPECT_NE(report.find("a.kob: could not write " + work.Input("keep.1.wav") + ": " + error + "\n"),
                      std::string::npos) << report << "\n" << run.stderrText;
            EXPECT_EQ(ListDir(work.Cwd()), Names{});
            if (replaced) {
                EXPECT_EQ(ReadFileText(work.Dir()), "a file now");
            } else {
                EXPECT_FALSE(testsupport::FileExists(work.Dir())) << "nothing may make the folder again";
            }
        }
    }
}

TEST_F(Targeted, ACloseThatCannotWriteOutTheLastBytesFailsTheEntry) {
    // The file that creation makes stays open for its data, so its first close is the one after
    // the data.
    for (const std::string file : {"keep.1.wav", "keep.1.wav.err"}) {
        SCOPED_TRACE(file);
        Workspace work(*scenario);
        crt::testing::Reset();
        crt::testing::ArmFault({Operation::Close, 1, "/." + file + ".dudez-*"}, ENOSPC);
        const BatchRun run = work.Run(*window);
        crt::testing::Disable();
        EXPECT_EQ(run.stderrText, "LFile::CloseDataFork...fclose: No space left on device\n" + NotAKob(work, "a.kob"));
        // The incomplete output is gone; its listing stays, as after every failed entry.
        EXPECT_EQ(ListDir(work.Dir()),
                  (Names{"a.kob", "b.kob", "keep.1.wav.err", "keep.wav", "notes.txt", "third.wav"}));
        EXPECT_EQ(work.Judge(), (std::vector<State>{State::Absent, State::Absent, State::Complete}));
        EXPECT_FALSE(crt::IsUnfinished(work.Input("keep.1.wav.err").c_str()));
    }
}

TEST_F(Targeted, ARealDiskFillingUpLosesNothing) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    // From no room at all to room for everything, a page at a time.
    int points = 0;
    bool someFailed = false;
    State lastFirst = State::Broken;
    for (long freePages = 0; freePages <= 12; ++freePages) {
        SCOPED_TRACE(std::to_string(freePages) + " pages free");
        bool mounted = false;
        Workspace work(*scenario, [&](const std::string& dir) {
            mounted = ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=1m") == 0;
        });
        struct Unmount {
            const bool& mounted;
            std::string dir;
            ~Unmount() {
                if (mounted) ::umount2(dir.c_str(), MNT_DETACH);
            }
        } unmount{mounted, work.Dir()};
        if (!mounted) GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);

        struct statvfs space {};
        ASSERT_EQ(::statvfs(work.Dir().c_str(), &space), 0);
        const long pageSize = 4096;
        const long available = static_cast<long>(space.f_bavail * space.f_frsize);
        testsupport::WriteFileBytes(work.Input("filler"),
                                    testsupport::Bytes(static_cast<std::size_t>(available - freePages * pageSize), 0));

        const BatchRun run = work.Run(*window);
        const std::vector<State> states = work.Judge({"filler"});
        faults::CheckBatchShape(*scenario, work, run, states);
        for (State state : states) EXPECT_TRUE(state == State::Complete || state == State::Absent) << Name(state);
        someFailed = someFailed || !work.ReportedInputs(run).empty();
        lastFirst = states[0];
        ++points;
    }
    EXPECT_TRUE(someFailed) << "the disk never filled up";
    EXPECT_EQ(lastFirst, State::Complete) << "with room enough, everything is converted";
    std::cout << "[ sweep    ] full tmpfs: " << points << " sizes of free space" << std::endl;
    RecordProperty("points", points);
}

TEST_F(Targeted, AFolderWhereNoRenameWorksKeepsNothingHalfDone) {
    // Every rename fails (a file system that refuses them): no output can get its name, and
    // what was written under hidden names goes at once, listings included, not at exit.
    Workspace work(*scenario);
    crt::testing::Reset();
    crt::testing::ArmFault({Operation::Rename, 1, ""}, EIO, -1);
    const BatchRun run = work.Run(*window);
    crt::testing::Disable();
    EXPECT_EQ(work.Judge(), (std::vector<State>{State::Absent, State::Absent, State::Absent}));
    for (const std::string& name : ListDir(work.Dir())) EXPECT_NE(name[0], '.') << name << " was left";
    EXPECT_NE(TheBatchReport().Conclude().text.find("could not write " + work.Input("keep.1.wav") + ": Input/output error"),
              std::string::npos);
}
