// Every file call of a small batch made to fail, one at a time: whatever fails, no output is
// left half-written, no file of the user's changes, earlier outputs stay whole, the failure is
// reported for the file it hit, and the batch goes on (or stops where a missing input stops it).
#include "platform/runtime/Crt.h"
#include "tests/faults/Scenario.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>

using crt::testing::CallRecord;
using crt::testing::Operation;
using faults::Entry;
using faults::Scenario;
using faults::State;
using faults::Workspace;

namespace {

const char* OperationName(Operation operation) {
    switch (operation) {
    case Operation::Open: return "fopen";
    case Operation::Close: return "fclose";
    case Operation::Read: return "fread";
    case Operation::Write: return "fwrite";
    case Operation::Seek: return "fseek";
    case Operation::Tell: return "ftell";
    case Operation::Eof: return "feof";
    case Operation::Stat: return "fstat";
    case Operation::Remove: return "remove";
    case Operation::Keep: return "keep";
    case Operation::Rename: return "rename";
    }
    return "?";
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name a file written under a hidden name will have: ".keep.1.wav.dudez-Ab3x9Q" is
// "keep.1.wav"; any other name is its own.
std::string FinalName(const std::string& name) {
    constexpr std::size_t kTail = sizeof(".dudez-XXXXXX") - 1;
    if (name.size() > kTail + 1 && name[0] == '.' && name.compare(name.size() - kTail, 7, ".dudez-") == 0)
        return name.substr(1, name.size() - kTail - 1);
    return name;
}

class Sweep : public faults::ScenarioTest {
protected:
    // How many calls of the operation a clean run makes.
    static long CleanCalls(Operation operation) {
        Workspace work(*scenario);
        crt::testing::Reset();
        const BatchRun run = work.Run(*window);
        EXPECT_EQ(run.stderrText, "");
        long n = 0;
        for (const CallRecord& call : crt::testing::CallLog()) n += call.operation == operation;
        crt::testing::Disable();
        return n;
    }

    // The entry whose file the call was on, -1 when it was on none (an input, or unknown).
    static int OwnerOf(const CallRecord& call, bool& isProbe) {
        const std::string name = FinalName(BaseName(call.path));
        isProbe = false;
        for (std::size_t i = 0; i < scenario->entries.size(); ++i) {
            const Entry& e = scenario->entries[i];
            if (name == e.wave || name == e.wave + ".err" || (!e.listing.empty() && name == e.listing))
                return static_cast<int>(i);
            if (name == e.probe) {
                isProbe = true;
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    // A run of the batch in work with the nth call of the operation failing with error.
    struct FaultedRun {
        BatchRun run;
        std::optional<CallRecord> hit;   // the call that failed; none when the fault never landed
    };
    static FaultedRun RunWithFault(Workspace& work, Operation operation, long nth, int error) {
        crt::testing::Reset();
        crt::testing::ArmFault({operation, nth, ""}, error);
        FaultedRun faulted{work.Run(*window), std::nullopt};
        const std::vector<CallRecord> log = crt::testing::CallLog();
        crt::testing::Disable();
        for (const CallRecord& call : log)
            if (call.failed) faulted.hit = call;
        return faulted;
    }

    // Fails the nth call of the operation, checks everything, and returns false when a check
    // failed (so a sweep can stop at its first bad point).
    static void FailOne(Operation operation, long nth, int error) {
        SCOPED_TRACE(std::string(OperationName(operation)) + " call " + std::to_string(nth) +
                     " fails with " + std::strerror(error));
        Workspace work(*scenario);
        const FaultedRun faulted = RunWithFault(work, operation, nth, error);
        ASSERT_TRUE(faulted.hit) << "the fault never landed";
        const BatchRun& run = faulted.run;
        const CallRecord* hit = &*faulted.hit;
        bool isProbe = false;
        const int owner = OwnerOf(*hit, isProbe);
        const std::string where = hit->path + " (" + hit->mode + ")";

        // A probe that could not be removed stays where it is; that is reported, not hidden.
        std::vector<std::string> allowed;
        if (isProbe && operation == Operation::Remove) {
            allowed.push_back(BaseName(hit->path));
            EXPECT_NE(run.stderrText.find("trying to remove file: : "), std::string::npos) << where;
        }
        const std::vector<State> states = work.Judge(allowed);
        faults::CheckBatchShape(*scenario, work, run, states);

        const bool onInput = EndsWith(hit->path, ".kob");
        for (std::size_t i = 0; i < states.size(); ++i) {
            // Silence stands in for data only when the input could not be read.
            if (states[i] == State::Silenced) {
                EXPECT_TRUE(onInput && operation == Operation::Read) << scenario->entries[i].wave << " silenced by " << where;
            }
            // The fallback folder is taken only when the probe could not create its file.
            if (states[i] == State::Fallback) {
                EXPECT_TRUE(isProbe && operation == Operation::Open && static_cast<int>(i) == owner)
                    << scenario->entries[i].wave << " went to the fallback after " << where;
            }
        }
        if (onInput && operation == Operation::Open) {
            EXPECT_NE(run.stderrText.find(std::string("LFile::OpenDataFork...fopen: ") + std::strerror(error) +
                                          "\nCaught Error: : "),
                      std::string::npos)
                << run.stderrText;
        }
        if (owner >= 0 && !isProbe) {
            // A failure on an output's own stream: that entry is not complete, and says so.
            EXPECT_EQ(states[static_cast<std::size_t>(owner)], State::Absent)
                << scenario->entries[static_cast<std::size_t>(owner)].wave << " after " << where << "\n"
                << run.stderrText;
        }
        if (isProbe && operation == Operation::Open) {
            EXPECT_EQ(states[static_cast<std::size_t>(owner)], State::Fallback) << where;
        }
    }

    static void SweepAll(Operation operation, int error) {
        const long total = CleanCalls(operation);
        ASSERT_GT(total, 0);
        for (long nth = 1; nth <= total; ++nth) {
            FailOne(operation, nth, error);
            if (HasFailure()) {
                ADD_FAILURE() << "stopped at " << OperationName(operation) << " call " << nth << " of " << total;
                return;
            }
        }
        std::cout << "[ sweep    ] " << OperationName(operation) << " failing with " << std::strerror(error)
                  << ": " << total << " injection points" << std::endl;
        RecordProperty("points", static_cast<int>(total));
    }
};

} // namespace

// Every file the batch opens finding its name taken at that moment, as when another copy of the
// program works in the same folder: the probe, the WAVE file and the listing each take the next
// free name (here the same one, as nothing was really made) and the batch loses nothing; only
// an input that cannot be opened stops it.
TEST_F(Sweep, EveryCreationAndRenameFindingItsNameTaken) {
  for (const Operation operation : {Operation::Open, Operation::Rename}) {
    const long total = CleanCalls(operation);
    ASSERT_GT(total, 0);
    for (long nth = 1; nth <= total; ++nth) {
        SCOPED_TRACE(std::string(OperationName(operation)) + " call " + std::to_string(nth) + " finds its name taken");
        Workspace work(*scenario);
        const FaultedRun faulted = RunWithFault(work, operation, nth, EEXIST);
        ASSERT_TRUE(faulted.hit) << "the fault never landed";
        const BatchRun& run = faulted.run;
        const CallRecord* hit = &*faulted.hit;
        const std::vector<State> states = work.Judge();
        faults::CheckBatchShape(*scenario, work, run, states);
        if (EndsWith(hit->path, ".kob")) continue;   // an input: the batch stops, as checked above
        // A rename finding its name taken says nothing: it takes the next one.
        EXPECT_EQ(run.stderrText, operation == Operation::Open ? "LFile::CreateNewFile...fopen: File exists\n" : "")
            << hit->path;
        for (std::size_t i = 0; i < states.size(); ++i)
            EXPECT_EQ(states[i], State::Complete) << scenario->entries[i].wave << " after " << hit->path;
        if (HasFailure()) return;
    }
    std::cout << "[ sweep    ] " << OperationName(operation) << " finding its name taken: " << total
              << " injection points" << std::endl;
  }
}

TEST_F(Sweep, EveryWriteFailingWithAFullDisk) { SweepAll(Operation::Write, ENOSPC); }
TEST_F(Sweep, EveryReadFailingWithAnInputOutputError) { SweepAll(Operation::Read, EIO); }
TEST_F(Sweep, EveryCloseFailingWithADeferredWriteError) { SweepAll(Operation::Close, ENOSPC); }
TEST_F(Sweep, EveryOpenRefused) { SweepAll(Operation::Open, EACCES); }
TEST_F(Sweep, EverySeekFailing) { SweepAll(Operation::Seek, EIO); }
TEST_F(Sweep, EveryPositionQueryFailing) { SweepAll(Operation::Tell, EIO); }
TEST_F(Sweep, EveryStatusQueryFailing) { SweepAll(Operation::Stat, EIO); }
TEST_F(Sweep, EveryRemovalFailing) { SweepAll(Operation::Remove, EBUSY); }
TEST_F(Sweep, EveryRenameFailing) { SweepAll(Operation::Rename, EIO); }
