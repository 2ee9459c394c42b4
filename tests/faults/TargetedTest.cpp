// Chosen failures of the file system under a conversion: a name taken just before the output is
// created, the output folder going away, a close that cannot write out the last bytes, and a
// small disk that really fills up.
#include "platform/Crt.h"
#include "tests/faults/Scenario.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
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

TEST_F(Targeted, ANameTakenJustBeforeItsCreationIsLeftAlone) {
    // The output's and the listing's names are chosen before the files are made; a file that
    // appears under one of them in between is someone else's: the entry fails instead.
    for (const std::string taken : {"keep.1.wav", "keep.1.wav.err"}) {
        SCOPED_TRACE(taken);
        Workspace work(*scenario);
        crt::testing::Reset();
        crt::testing::OnCall({Operation::Open, 1, "/" + taken},
                             [&] { WriteFileText(work.Input(taken), "someone else's"); });
        const BatchRun run = work.Run(*window);
        crt::testing::Disable();
        EXPECT_EQ(run.stderrText, "LFile::CreateNewFile...fopen: File exists\n" + NotAKob(work, "a.kob"));
        EXPECT_EQ(ReadFileText(work.Input(taken)), "someone else's");
        // The failed entry's own file is gone; the file's second entry is not converted; the
        // batch goes on.
        EXPECT_EQ(ListDir(work.Dir()), (Names{"a.kob", "b.kob", taken, "keep.wav", "notes.txt", "third.wav"}));
        EXPECT_EQ(ReadFileBytes(work.Input("third.wav")), Reference("third.wav"));
        EXPECT_EQ(ReadFileBytes(work.Input("keep.wav")), scenario->userFiles.at("keep.wav"));
    }

    // The probe's name taken in between: the probe fails, so the output goes to the fallback,
    // and the file that took the name keeps its contents.
    Workspace work(*scenario);
    crt::testing::Reset();
    crt::testing::OnCall({Operation::Open, 1, "/Keep.aif"},
                         [&] { WriteFileText(work.Input("Keep.aif"), "someone else's"); });
    const BatchRun run = work.Run(*window);
    crt::testing::Disable();
    EXPECT_EQ(run.stderrText, "LFile::CreateNewFile...fopen: File exists\n");
    EXPECT_EQ(ReadFileText(work.Input("Keep.aif")), "someone else's");
    EXPECT_EQ(work.Judge({"Keep.aif"}), (std::vector<State>{State::Fallback, State::Complete, State::Complete}));
}

TEST_F(Targeted, TheOutputFolderGoingAwayLeavesNothingHalfWritten) {
    // Removed, or replaced by a file, while the first output is being written: at its first
    // damaged block, just before its listing is made (which then fails, and so does the
    // entry), or when its samples go into the file (after the header, the writer's second
    // write: the entry ends, its file gone with the folder).
    for (const bool replaced : {false, true}) {
        for (const bool atListing : {true, false}) {
            SCOPED_TRACE(std::string(replaced ? "replaced by a file" : "removed") +
                         (atListing ? " before the listing" : " before the samples"));
            Workspace work(*scenario);
            crt::testing::Reset();
            const crt::testing::Trigger trigger = atListing
                ? crt::testing::Trigger{Operation::Open, 1, "/keep.1.wav.err"}
                : crt::testing::Trigger{Operation::Write, 2, "/keep.1.wav"};
            crt::testing::OnCall(trigger, [&] {
                std::filesystem::remove_all(work.Dir());
                if (replaced) WriteFileText(work.Dir(), "a file now");
            });
            const BatchRun run = work.Run(*window);
            crt::testing::Disable();
            const std::string error = replaced ? "Not a directory" : "No such file or directory";
            // After the first entry, the next probe finds no folder and falls back to the
            // current directory; the second input cannot be opened any more: the batch stops.
            const std::string stop = "LFile::OpenDataFork...fopen: " + error + "\nCaught Error: : " + error + "\n";
            if (atListing) {
                EXPECT_EQ(run.stderrText, "LFile::CreateNewFile...fopen: " + error + "\n" + NotAKob(work, "a.kob") + stop);
                EXPECT_EQ(ListDir(work.Cwd()), Names{});
            } else {
                EXPECT_EQ(run.stderrText, "LFile::CreateNewFile...fopen: " + error + "\n" + stop);
                EXPECT_EQ(ListDir(work.Cwd()), (Names{"c:\\xyzzy.wav"}));
                EXPECT_EQ(ReadFileBytes(work.Cwd() + "/c:\\xyzzy.wav"), Reference("second.wav"));
            }
            if (replaced) {
                EXPECT_EQ(ReadFileText(work.Dir()), "a file now");
            } else {
                EXPECT_FALSE(testsupport::FileExists(work.Dir())) << "nothing may make the folder again";
            }
        }
    }
}

TEST_F(Targeted, ACloseThatCannotWriteOutTheLastBytesFailsTheEntry) {
    // The second close of each file is the one after its data (the first closes the empty file
    // that creation makes).
    for (const std::string file : {"keep.1.wav", "keep.1.wav.err"}) {
        SCOPED_TRACE(file);
        Workspace work(*scenario);
        crt::testing::Reset();
        crt::testing::ArmFault({Operation::Close, 2, "/" + file}, ENOSPC);
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
