// The dudez program stopped by SIGTERM, SIGINT and SIGHUP at every file call of a small batch,
// just before the call and just after it: whenever the stop comes, the program ends by the usual
// exit path (exit code 0, nothing reported) and leaves only complete outputs, each byte for byte
// as a full run writes it, no listing without its output, no probe file, and the user's files
// as they were.
//
// The stop is placed by the test build of the program (dudez-hooked): its hook
// DUDEZ_TEST_SIGNAL_AT sends the signal at the chosen file call and holds the worker there until
// the file work has been stopped. The installed program has no such hook.
#include "tests/support/FileBytes.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/kobenc/Damage.h"
#include "tools/kobenc/KobEncoder.h"
#include "tools/kobenc/KobSerialiser.h"
#include "tools/kobenc/SyntheticMusic.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <map>
#include <set>

using testsupport::Bytes;
using testsupport::ListDir;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

kobenc::Recording Music(const std::string& name, std::uint16_t channels, std::uint32_t frames, std::uint32_t seed) {
    kobenc::Recording recording;
    recording.storedName = name;
    recording.channelCount = channels;
    recording.samples = kobenc::SyntheticMusic(frames, channels, 44100, seed);
    return recording;
}

Bytes Kob(const std::vector<kobenc::Recording>& recordings, int damagedBlock = -1) {
    kobenc::EncodeOptions options;
    options.blockFrames = 1000;
    kobenc::KobFile file = kobenc::Encode(recordings, options);
    if (damagedBlock >= 0)
        kobenc::Damage(file.entries[0].blocks[static_cast<std::size_t>(damagedBlock)], kobenc::BlockDamage::DataChecksum);
    return kobenc::Serialise(file).bytes;
}

struct Result {
    int exitCode = -1;
    std::string stderrText;
    std::string stdoutText;
};

// Runs dudez headless (its own session, no display, no terminal) on the two inputs of dir, with
// the test hook set to hook ("" for none).
Result RunDudez(const std::string& dir, const std::string& hook) {
    TempDir logs;
    testsupport::Launch launch;
    launch.argv = {testsupport::HookedDudezBinary(), dir + "/a.kob", dir + "/b.kob"};
    launch.stdoutPath = logs.Path() + "/out";
    launch.stderrPath = logs.Path() + "/err";
    if (hook.empty())
        launch.unsetEnvironment = {"DUDEZ_TEST_SIGNAL_AT"};
    else
        launch.environment = {{"DUDEZ_TEST_SIGNAL_AT", hook}};
    // The fallback output would land in the current directory: the inputs' folder here.
    launch.workingDirectory = dir;
    Result result;
    result.exitCode = testsupport::WaitForExit(testsupport::StartProcess(launch), 30000);
    if (result.exitCode == -1) {
        ADD_FAILURE() << "dudez did not end with hook " << hook;
        return result;
    }
    result.stderrText = testsupport::ReadFileText(logs.Path() + "/err");
    result.stdoutText = testsupport::ReadFileText(logs.Path() + "/out");
    return result;
}

class Interrupt : public testing::Test {
protected:
    void SetUp() override {
        if (testsupport::DudezBinary().empty()) GTEST_SKIP() << "the dudez program was not built";
        inputs["a.kob"] = Kob({Music("Keep.aif", 2, 3000, 1), Music("Second.snd", 1, 2500, 2)}, 3);
        inputs["b.kob"] = Kob({Music("Third.AIF", 2, 2000, 3)});
        userFiles["keep.wav"] = Bytes{'m', 'i', 'n', 'e'};
        userFiles["notes.txt"] = Bytes(3000, 'n');

        TempDir clean;
        Prepare(clean.Path());
        const Result run = RunDudez(clean.Path(), "");
        ASSERT_EQ(run.exitCode, 0);
        ASSERT_EQ(run.stderrText, "");
        CheckReport(clean, run);
        for (const std::string& name : outputOrder) reference[name] = ReadFileBytes(clean.Path() + "/" + name);
        ASSERT_EQ(ListDir(clean.Path()), (std::vector<std::string>{"a.kob", "b.kob", "keep.1.wav", "keep.1.wav.err",
                                                                    "keep.wav", "notes.txt", "second.wav", "third.wav"}));
    }

    void Prepare(const std::string& dir) const {
        for (const auto& [name, bytes] : inputs) testsupport::WriteFileBytes(dir + "/" + name, bytes);
        for (const auto& [name, bytes] : userFiles) testsupport::WriteFileBytes(dir + "/" + name, bytes);
    }

    // Checks one interrupted run; returns how many of the outputs (in the order they are
    // written, a listing counted with its output) it left, or -1 when the hook did not fire.
    int CheckStopped(int signal, const std::string& when, long nth) {
        SCOPED_TRACE("signal " + std::to_string(signal) + " " + when + " file call " + std::to_string(nth));
        TempDir dir;
        Prepare(dir.Path());
        const Result run = RunDudez(dir.Path(), std::to_string(signal) + ":" + when + ":" + std::to_string(nth));
        const std::string fired = "test hook: signal " + std::to_string(signal) + " at file call " + std::to_string(nth) + "\n";
        // The exit path reports nothing on standard error: the only line is the hook's own.
        if (run.stderrText.empty()) return -1;
        EXPECT_EQ(run.stderrText, fired);
        CheckReport(dir, run);

        for (const auto& [name, bytes] : userFiles) EXPECT_EQ(ReadFileBytes(dir.File(name)), bytes) << name;
        for (const auto& [name, bytes] : inputs) EXPECT_EQ(ReadFileBytes(dir.File(name)), bytes) << name;
        int present = 0;
        bool gap = false;
        for (const std::string& name : ListDir(dir.Path())) {
            if (inputs.count(name) || userFiles.count(name)) continue;
            const auto known = reference.find(name);
            if (known == reference.end()) {
                ADD_FAILURE() << "left behind: " << name;
                continue;
            }
            const Bytes got = ReadFileBytes(dir.File(name));
            EXPECT_EQ(got.size(), known->second.size()) << name << " is not complete";
            EXPECT_TRUE(got == known->second) << name << " differs from a full run's";
        }
        // Outputs are complete in the order they are written: no gap, and a listing only with
        // the output it belongs to.
        for (const std::string& name : outputOrder) {
            const bool exists = testsupport::FileExists(dir.File(name));
            if (exists && gap) ADD_FAILURE() << name << " is there but an earlier output is not";
            if (!exists) gap = true;
            if (exists && !gap) ++present;
        }
        EXPECT_EQ(testsupport::FileExists(dir.File("keep.1.wav.err")), testsupport::FileExists(dir.File("keep.1.wav")))
            << "a listing without its output, or an output without its listing";
        return present;
    }

    // The report on standard output names exactly the WAVE files that stayed, and the exit
    // status says whether everything was converted before the stop.
    void CheckReport(const TempDir& dir, const Result& run) const {
        std::set<std::string> reported;
        std::size_t at = 0;
        const std::string wrote = ": wrote ";
        while ((at = run.stdoutText.find(wrote, at)) != std::string::npos) {
            at += wrote.size();
            const std::size_t end = run.stdoutText.find_first_of(",\n", at);
            reported.insert(run.stdoutText.substr(at, end - at));
        }
        std::set<std::string> present;
        for (const std::string& name : ListDir(dir.Path()))
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".wav") == 0 && !userFiles.count(name))
                present.insert(dir.File(name));
        EXPECT_EQ(reported, present) << run.stdoutText;
        const bool everything = run.stdoutText.find("2 names, 2 converted") != std::string::npos &&
                                run.stdoutText.find("ended before") == std::string::npos;
        EXPECT_EQ(run.exitCode, everything ? 0 : 1) << run.stdoutText;
    }

    std::map<std::string, Bytes> inputs;
    std::map<std::string, Bytes> userFiles;
    std::map<std::string, Bytes> reference;
    const std::vector<std::string> outputOrder{"keep.1.wav", "keep.1.wav.err", "second.wav", "third.wav"};
};

} // namespace

TEST_F(Interrupt, TheInstalledProgramHasNoHook) {
    TempDir dir;
    Prepare(dir.Path());
    TempDir logs;
    testsupport::Launch launch;
    launch.argv = {testsupport::DudezBinary(), dir.File("a.kob"), dir.File("b.kob")};
    launch.stderrPath = logs.File("err");
    launch.environment = {{"DUDEZ_TEST_SIGNAL_AT", "15:before:3"}};
    launch.workingDirectory = dir.Path();
    EXPECT_EQ(testsupport::WaitForExit(testsupport::StartProcess(launch), 30000), 0);
    EXPECT_EQ(testsupport::ReadFileText(logs.File("err")), "");
    for (const auto& [name, bytes] : reference) EXPECT_TRUE(ReadFileBytes(dir.File(name)) == bytes) << name;
}

TEST_F(Interrupt, AStopAtAnyFileCallLeavesOnlyCompleteOutputs) {
    const int signals[] = {SIGTERM, SIGINT, SIGHUP};
    long points = 0;
    for (const char* when : {"before", "after"}) {
        int previous = 0;
        long nth = 1;
        for (;; ++nth) {
            const int signal = signals[nth % 3];
            const int present = CheckStopped(signal, when, nth);
            if (present < 0) break;   // past the last file call of the batch
            ++points;
            EXPECT_GE(present, previous) << "a later stop left fewer outputs, at " << when << " " << nth;
            previous = present;
            if (HasFailure()) {
                ADD_FAILURE() << "stopped the sweep at " << when << " file call " << nth;
                return;
            }
        }
        EXPECT_GT(nth, 20) << "too few file calls: the hook may not work";
        std::cout << "[ sweep    ] stopped " << when << " file call 1 to " << nth - 1 << std::endl;
    }
    std::cout << "[ sweep    ] " << points << " interruption points" << std::endl;
    RecordProperty("points", static_cast<int>(points));
}
