// A small batch with known outputs, to be converted again and again with the file system failing
// under it, and the checks that nothing was lost or left half-written.
//
//     Scenario scenario;                        // the clean run: the reference outputs
//     Workspace work(scenario);                 // a fresh folder holding the inputs
//     crt::testing::Reset();
//     crt::testing::ArmFault({Operation::Write, n}, ENOSPC);
//     const BatchRun run = work.Run();
//     Outcome outcome = work.Judge(run);        // entry by entry: complete, absent, ...
//
// The batch is two KOB files in one folder that also holds two files of the user's: a.kob with
// two entries (the first has two channels and a damaged block, so it gets a listing; its name is
// taken by an existing keep.wav), and b.kob with one.
#pragma once

#include "tests/harness/BatchHarness.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace faults {

using testsupport::Bytes;

struct Entry {
    std::string input;    // the KOB file's name in the folder
    std::string wave;     // the output's name
    std::string listing;  // its listing's name, "" when the entry has no damage
    std::string probe;    // the name of the file that tests whether the folder takes new files
    std::string fallback; // the output's name in the current directory when the folder takes none
};

// What a run left of one entry.
enum class State {
    Complete,   // the output (and its listing) byte for byte as in the clean run
    Silenced,   // complete in size, but some samples are silence, each listed in its listing
    Absent,     // no output; a listing started for it may stay with a part of its lines
    Fallback,   // written whole into the current directory instead, under its own name
    Broken,     // none of these: a test failure has been added
};

const char* Name(State state);
inline void PrintTo(State state, std::ostream* out) { *out << Name(state); }

class Scenario {
public:
    // Makes the files and converts them once, cleanly, for the reference outputs.
    explicit Scenario(BatchWindow& window);

    std::vector<Entry> entries;                 // in the order they are converted
    std::map<std::string, Bytes> inputs;        // name -> bytes, the KOB files
    std::map<std::string, Bytes> userFiles;     // name -> bytes, present before the run
    std::map<std::string, Bytes> reference;     // name -> bytes, every output of the clean run
    std::string commandLine;                    // names relative to the folder, joined later
};

class Workspace {
public:
    // beforeFiles, when given, is run on the empty folder before the files are written (to
    // mount a small file system there).
    explicit Workspace(const Scenario& scenario,
                       const std::function<void(const std::string&)>& beforeFiles = {});

    const std::string& Dir() const { return mDir.Path(); }
    const std::string& Cwd() const { return mCwd.Path(); }
    std::string Input(const std::string& name) const { return mDir.File(name); }

    // Runs the batch with the current directory in a folder of its own (the fallback output
    // lands there).
    BatchRun Run(BatchWindow& window);

    // The state of every entry, in order; adds a test failure for every file that should not
    // be there (but those named in allowed), every user file that changed and every output in
    // no known state.
    std::vector<State> Judge(const std::vector<std::string>& allowed = {}) const;

    // Inputs named in a failure message of the run.
    std::vector<std::string> ReportedInputs(const BatchRun& run) const;

private:
    State EntryState(const Entry& entry) const;

    const Scenario& mScenario;
    testsupport::TempDir mDir;
    testsupport::TempDir mCwd;
};

// The tests of a suite share one window and one scenario (its clean run is the costly part);
// every test ends with the fault facility off.
class ScenarioTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        window = new BatchWindow;
        scenario = new Scenario(*window);
    }
    static void TearDownTestSuite() {
        delete scenario;
        delete window;
        scenario = nullptr;
        window = nullptr;
    }
    void TearDown() override;

    static inline BatchWindow* window = nullptr;
    static inline Scenario* scenario = nullptr;
};

// Checks what every scenario must hold whatever failed: the entries of each input are complete
// (or silenced) up to the entry that failed and absent from there on; an input has an absent
// entry exactly when its failure was reported; a failure that stopped the batch ("Caught Error")
// leaves every later input unconverted, otherwise the batch went on.
void CheckBatchShape(const Scenario& scenario, const Workspace& work, const BatchRun& run,
                     const std::vector<State>& states);

// The listing's stretches: first frame, end frame, channel (0: every channel).
struct Stretch {
    long first;
    long end;
    int channel;
};
std::vector<Stretch> ParseListing(const std::string& text);

} // namespace faults
