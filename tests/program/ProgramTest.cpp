// The dudez executable run as a user runs it: a separate process with no display and no terminal,
// its files checked afterwards; and stopped by a signal in the middle of a file.
#include "tests/support/FileBytes.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/kobenc/Damage.h"
#include "tools/kobenc/KobEncoder.h"
#include "tools/kobenc/KobSerialiser.h"
#include "tools/kobenc/SyntheticMusic.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <cstdlib>
#include <thread>

using testsupport::FileExists;
using testsupport::ListDir;
using testsupport::TempDir;

namespace {

std::string MakeKob(const std::string& path, const std::string& stored, std::uint32_t frames, bool damaged = false) {
    kobenc::Recording recording;
    recording.storedName = stored;
    recording.channelCount = 2;
    recording.samples = kobenc::SyntheticMusic(frames, 2, 44100, 3);
    kobenc::KobFile file = kobenc::Encode({recording});
    if (damaged) kobenc::Damage(file.entries[0].blocks[1], kobenc::BlockDamage::DataChecksum);
    kobenc::WriteBytes(path, kobenc::Serialise(file).bytes);
    return path;
}

// Starts dudez in a session of its own (no controlling terminal), without a display, with
// standard input from /dev/null and its output streams in files of `dir`.
pid_t Start(const std::string& dir, const std::vector<std::string>& names) {
    testsupport::Launch launch;
    launch.argv = {testsupport::DudezBinary()};
    launch.argv.insert(launch.argv.end(), names.begin(), names.end());
    launch.stdoutPath = dir + "/stdout.txt";
    launch.stderrPath = dir + "/stderr.txt";
    return testsupport::StartProcess(launch);
}

// Waits for the process; -1 when it is still running after the timeout (it is then killed).
int Wait(pid_t pid, int timeoutMs = 60000) { return testsupport::WaitForExit(pid, timeoutMs); }

class Program : public testing::Test {
protected:
    void SetUp() override {
        if (testsupport::DudezBinary().empty()) GTEST_SKIP() << "the dudez program was not built";
    }
    TempDir dir;
    TempDir logs;
};

} // namespace

TEST_F(Program, HeadlessRunConvertsEverythingAndEndsByItself) {
    const std::string a = MakeKob(dir.File("a.kob"), "First.aif", 30000, true);
    const std::string b = MakeKob(dir.File("b.kob"), "Second.aif", 20000);
    testsupport::WriteFileText(dir.File("c.kob"), "not a kob");
    // A file reported: the run is no success.
    EXPECT_EQ(Wait(Start(logs.Path(), {a, dir.File("c.kob"), b})), 1);
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"a.kob", "b.kob", "c.kob", "first.wav",
                                                             "first.wav.err", "second.wav"}));
    EXPECT_EQ(testsupport::ReadFileText(logs.File("stderr.txt")),
              "Error: " + dir.File("c.kob") + " is not a KOB file or corrupted\n");
    EXPECT_EQ(std::filesystem::file_size(dir.File("second.wav")), 44u + 20000u * 4u);
}

TEST_F(Program, NothingToDoEndsAtOnce) {
    EXPECT_EQ(Wait(Start(logs.Path(), {}), 20000), 0);
    EXPECT_EQ(testsupport::ReadFileText(logs.File("stdout.txt")),
              "dudez: 0 names, 0 converted (0 with damage), 0 not a KOB file or corrupted, 0 could not be opened, "
              "0 not converted\n");
}

TEST_F(Program, StopSignalMidFileDeletesTheUnfinishedOutput) {
    // A minute of sound, named 20 times over: more than a second of work for the converter, so
    // that the signal lands in the middle of the batch even on a busy machine.
    constexpr std::uint32_t kFrames = 44100 * 60;
    constexpr std::size_t kCopies = 20;
    const std::string source = MakeKob(dir.File("big.kob"), "Big.aif", kFrames);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        TempDir work;
        const std::string done = MakeKob(work.File("done.kob"), "Done.aif", 1000);
        const std::string big = work.File("big.kob");
        std::filesystem::copy_file(source, big);
        std::vector<std::string> names{done};
        names.insert(names.end(), kCopies, big);
        const pid_t pid = Start(logs.Path(), names);
        // Wait until the big file's output is being written, then stop the program.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!FileExists(work.File("big.wav")) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        ASSERT_TRUE(FileExists(work.File("big.wav"))) << "the conversion never started";
        kill(pid, signal);
        // Ended before the list was done: no success.
        EXPECT_EQ(Wait(pid), 1) << "signal " << signal;
        // What is left is complete: the output being written when the signal came is gone.
        EXPECT_TRUE(FileExists(work.File("done.wav"))) << "signal " << signal;
        std::size_t outputs = 0;
        for (const std::string& name : ListDir(work.Path())) {
            if (name == "big.kob" || name.rfind("big", 0) != 0) continue;
            ++outputs;
            EXPECT_EQ(std::filesystem::file_size(work.File(name)), 44u + kFrames * 4u) << name << ", signal " << signal;
        }
        EXPECT_LT(outputs, kCopies) << "the batch was over before signal " << signal;
    }
}

// A report larger than a pipe holds, to a reader that has stopped reading (`dudez *.kob |
// less` left alone): the program waits, but a stop signal ends it, with the status of a stop.
TEST_F(Program, AStopEndsTheProgramWhileTheReportWaitsForAStalledReader) {
    // Many recordings in one file: a line of the report for each, 700 lines of about 130 bytes.
    std::vector<kobenc::Recording> recordings(700);
    for (std::size_t i = 0; i < recordings.size(); ++i) {
        recordings[i].storedName = "a recording with a long stored name, number " + std::to_string(i) + ".aif";
        recordings[i].samples.assign(16, static_cast<std::int16_t>(i));
    }
    const std::string kob = dir.File("many.kob");
    kobenc::WriteBytes(kob, kobenc::Serialise(kobenc::Encode(recordings)).bytes);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        TempDir work;
        const std::string fifo = work.File("report");
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        std::filesystem::copy_file(kob, work.File("many.kob"));
        testsupport::Launch launch;
        launch.argv = {testsupport::DudezBinary(), work.File("many.kob")};
        launch.stdoutPath = fifo;
        const pid_t pid = testsupport::StartProcess(launch);
        // The pipe fills up and the program blocks in its report.
        int held = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (ioctl(reader, FIONREAD, &held) == 0 && held < 65536 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_GE(held, 65536) << "the report never filled the pipe";
        EXPECT_EQ(testsupport::WaitForExit(pid, 300, false), -1) << "the program did not wait for its reader";
        kill(pid, signal);
        EXPECT_EQ(Wait(pid, 10000), 1) << "signal " << signal;
        close(reader);
    }
}
