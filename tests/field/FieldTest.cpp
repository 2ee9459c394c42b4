// The dudez program where people really run it: output piped into a reader that goes away, a
// file-size limit, an input that never delivers, inputs that cannot be opened for every kind of
// reason, limits that keep its threads from starting. Each test runs the real program as its
// own process and checks what it left behind.
#include "tests/harness/KobFiles.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Process.h"
#include "tests/support/Slowdown.h"
#include "tests/support/TempDir.h"
#include "tools/kobenc/Damage.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

using testsupport::Bytes;
using testsupport::ListDir;
using testsupport::ReadFileBytes;
using testsupport::ReadFileText;
using testsupport::TempDir;

namespace {

constexpr std::uint32_t kFrames = 20000;   // 80 KB of stereo WAVE

// A KOB file of one stereo recording in dir; returns its path.
std::string MakeKob(const TempDir& dir, const std::string& name, const std::string& stored, std::uint32_t frames,
                    std::uint32_t seed) {
    return kobtest::WriteKob(dir.File(name), kobenc::Encode({kobtest::Music(stored, 2, frames, seed)}));
}

// A user id that no account and no other process has, so a limit on that user's threads counts
// only the program's own. Other tests run programs as nobody at the same time, and each of their
// threads would count against nobody's limit. The process id keeps two suites running at once
// apart.
uid_t UserOfItsOwn() {
    uid_t uid = 40000 + static_cast<uid_t>(getpid()) % 20000;
    while (getpwuid(uid) != nullptr) ++uid;
    return uid;
}

Bytes WaveOf(const std::string& stored, std::uint32_t frames, std::uint32_t seed) {
    return kobtest::ExpectedWave(2, 44100, kobtest::Music(stored, 2, frames, seed).samples);
}

// Runs dudez headless on names, in dir, and waits for it (killed after the timeout: code -1).
testsupport::Finished RunDudez(const TempDir& dir, const std::vector<std::string>& names, testsupport::Launch launch = {},
                               int timeoutMs = 60000) {
    // The program is the one built, unless the launch names another copy.
    launch.argv = {launch.argv.empty() ? testsupport::DudezBinary() : launch.argv.front()};
    launch.argv.insert(launch.argv.end(), names.begin(), names.end());
    launch.workingDirectory = dir.Path();
    return testsupport::RunToEnd(launch, timeoutMs);
}

// A copy of the program that another user (nobody) may run: the build may lie in a folder only
// its owner can enter (/root).
std::string CopyAnyoneMayRun(const TempDir& dir) {
    const std::string copy = dir.File("dudez");
    std::filesystem::copy_file(testsupport::DudezBinary(), copy);
    chmod(copy.c_str(), 0755);
    chmod(dir.Path().c_str(), 0755);
    return copy;
}

class Field : public testing::Test {
protected:
    void SetUp() override {
        if (testsupport::DudezBinary().empty()) GTEST_SKIP() << "the dudez program was not built";
    }
    TempDir dir;
};

} // namespace

TEST_F(Field, AReaderThatGoesAwayNeitherEndsTheProgramNorCostsAFile) {
    // `dudez bad.kob other.kob good.kob 2>&1 | head -1`: the reader is gone before the program
    // writes its first line (the report of bad.kob).
    testsupport::WriteFileText(dir.File("bad.kob"), "not a KOB file");
    MakeKob(dir, "other.kob", "Other.aif", kFrames, 1);
    MakeKob(dir, "good.kob", "Good.aif", kFrames, 2);
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    testsupport::Launch launch;
    launch.outputFd = ends[1];
    const testsupport::Finished run = RunDudez(dir, {"bad.kob", "other.kob", "good.kob"}, launch);
    ASSERT_NE(run.code, -1) << "the program did not end";
    EXPECT_LT(run.code, 128) << "ended by signal " << run.code - 128;
    EXPECT_TRUE(ReadFileBytes(dir.File("other.wav")) == WaveOf("Other.aif", kFrames, 1));
    EXPECT_TRUE(ReadFileBytes(dir.File("good.wav")) == WaveOf("Good.aif", kFrames, 2));
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"bad.kob", "good.kob", "good.wav", "other.kob", "other.wav"}));
}

TEST_F(Field, AFileSizeLimitFailsTheEntryThatPassesItAndTheBatchGoesOn) {
    // `ulimit -f`: the big recording cannot be written whole; the small ones before and after
    // it are, and nothing of the big one stays.
    MakeKob(dir, "small.kob", "Small.aif", 5000, 1);
    MakeKob(dir, "big.kob", "Big.aif", 200000, 2);   // 800 KB of WAVE
    MakeKob(dir, "after.kob", "After.aif", 5000, 3);
    testsupport::Launch launch;
    launch.inChild = [] {
        const rlimit limit{256 * 1024, 256 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    const testsupport::Finished run = RunDudez(dir, {"small.kob", "big.kob", "after.kob"}, launch);
    ASSERT_NE(run.code, -1) << "the program did not end";
    EXPECT_LT(run.code, 128) << "ended by signal " << run.code - 128;
    EXPECT_NE(run.err.find("Error: big.kob is not a KOB file or corrupted\n"), std::string::npos) << run.err;
    EXPECT_TRUE(ReadFileBytes(dir.File("small.wav")) == WaveOf("Small.aif", 5000, 1));
    EXPECT_TRUE(ReadFileBytes(dir.File("after.wav")) == WaveOf("After.aif", 5000, 3));
    EXPECT_EQ(ListDir(dir.Path()),
              (std::vector<std::string>{"after.kob", "after.wav", "big.kob", "small.kob", "small.wav"}));
}

TEST_F(Field, EveryStopSignalEndsTheProgramWhileAnInputNeverOpens) {
    // A FIFO that nobody writes to: opening it waits for ever. A stop must end the program all
    // the same, soon, leaving the finished output of the name before it.
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE("signal " + std::to_string(signal));
        TempDir work;
        MakeKob(work, "first.kob", "First.aif", 5000, 1);
        ASSERT_EQ(mkfifo(work.File("never.kob").c_str(), 0600), 0);
        TempDir logs;
        testsupport::Launch launch;
        launch.argv = {testsupport::DudezBinary(), "first.kob", "never.kob"};
        launch.workingDirectory = work.Path();
        launch.stderrPath = logs.File("err");
        const pid_t pid = testsupport::StartProcess(launch);
        // Once first.wav is there and complete, the program is on its way to the FIFO.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30 * testsupport::kSlowdown);
        while (std::chrono::steady_clock::now() < deadline &&
               !(testsupport::FileExists(work.File("first.wav")) && !testsupport::FileExists(work.File("first.wav.err")) &&
                 ReadFileBytes(work.File("first.wav")).size() == 44 + 5000 * 4))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        kill(pid, signal);
        // Waiting for ever is the fault; this bound only keeps a broken program from hanging
        // the suite.
        const int code = testsupport::WaitForExit(pid, 5000 * int{testsupport::kSlowdown});
        ASSERT_NE(code, -1) << "the stop did not end the program";
        EXPECT_LT(code, 128) << "ended by the signal itself, not by the program's own way out";
        EXPECT_TRUE(ReadFileBytes(work.File("first.wav")) == WaveOf("First.aif", 5000, 1));
        EXPECT_EQ(ListDir(work.Path()), (std::vector<std::string>{"first.kob", "first.wav", "never.kob"}));
    }
}

TEST_F(Field, AnInputThatNeverEndsIsGivenUpAtThePositionLimit) {
    // /dev/zero never ends and holds no entry: searched up to the last position a 32-bit
    // stream can name (2 GiB), it is reported like any file without one, then the batch goes on.
    MakeKob(dir, "after.kob", "After.aif", 5000, 1);
    const testsupport::Finished run = RunDudez(dir, {"/dev/zero", "after.kob"}, {}, 300000);
    ASSERT_NE(run.code, -1) << "the search never ended";
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "Error: /dev/zero is not a KOB file or corrupted\n");
    EXPECT_TRUE(ReadFileBytes(dir.File("after.wav")) == WaveOf("After.aif", 5000, 1));
}

TEST_F(Field, AnInputThatCannotBeOpenedIsReportedWithItsOwnReason) {
    MakeKob(dir, "plain.kob", "Plain.aif", 1000, 1);
    std::filesystem::create_symlink("loop-b.kob", dir.File("loop-a.kob"));
    std::filesystem::create_symlink("loop-a.kob", dir.File("loop-b.kob"));
    struct Case {
        std::string name;
        std::string reason;
    };
    for (const Case& c : std::vector<Case>{{"missing.kob", "No such file or directory"},
                                           {"plain.kob/inner.kob", "Not a directory"},
                                           {"loop-a.kob", "Too many levels of symbolic links"}}) {
        SCOPED_TRACE(c.name);
        const testsupport::Finished run = RunDudez(dir, {c.name});
        // A folder that cannot be opened has no open trace of its own.
        const std::string trace = c.name.find('/') == std::string::npos ? "LFile::OpenDataFork...fopen: " + c.reason + "\n" : "";
        EXPECT_EQ(run.err, trace + "Caught Error: : " + c.reason + "\n");
    }

    // A file the user may not read: as root, the program runs as nobody for it.
    testsupport::WriteFileText(dir.File("secret.kob"), "KOB1");
    chmod(dir.File("secret.kob").c_str(), 0600);
    chmod(dir.Path().c_str(), 0755);
    testsupport::Launch launch;
    TempDir bin;
    if (geteuid() == 0) {
        launch.argv = {CopyAnyoneMayRun(bin)};
        chown(dir.File("secret.kob").c_str(), 0, 0);
        launch.inChild = [] {
            setgroups(0, nullptr);
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(125);
        };
    } else {
        chmod(dir.File("secret.kob").c_str(), 0);
    }
    const testsupport::Finished run = RunDudez(dir, {"secret.kob"}, launch);
    EXPECT_EQ(run.err, "LFile::OpenDataFork...fopen: Permission denied\nCaught Error: : Permission denied\n");
}

TEST_F(Field, AThreadThatCannotStartIsReportedAndTheProgramEnds) {
    if (geteuid() != 0) GTEST_SKIP() << "a limit on one user's threads needs a user of its own (root runs it as a user of its own)";
    // Limits on the number of threads, from none beyond the first to enough: the program
    // either runs or says it cannot start and ends with 1; it never waits for a batch that
    // never runs, nor ends through an exception. Which thread fails first depends on how many
    // the build itself starts (sanitizers start their own).
    MakeKob(dir, "a.kob", "A.aif", 1000, 1);
    chmod(dir.Path().c_str(), 0777);
    TempDir bin;
    const std::string program = CopyAnyoneMayRun(bin);
    bool sawNoWorker = false;
    bool sawNoPlatformThread = false;
    bool sawRun = false;
    const uid_t user = UserOfItsOwn();
    for (rlim_t threads = 1; threads <= 8 && !sawRun; ++threads) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        std::filesystem::remove(dir.File("a.wav"));
        testsupport::Launch launch;
        launch.argv = {program};
        // The leak checker of an AddressSanitizer build needs a thread of its own at exit, which
        // the limit would refuse it: it is the build's tool, not the program, so it stays out.
        const char* asan = std::getenv("ASAN_OPTIONS");
        launch.environment = {{"ASAN_OPTIONS", std::string(asan ? asan : "") + ":detect_leaks=0"}};
        launch.inChild = [threads, user] {
            setgroups(0, nullptr);
            if (setgid(user) != 0 || setuid(user) != 0) _exit(125);
            const rlimit limit{threads, threads};
            setrlimit(RLIMIT_NPROC, &limit);
        };
        const testsupport::Finished run = RunDudez(dir, {"a.kob"}, launch, 20000);
        ASSERT_NE(run.code, -1) << "the program waited for ever";
        ASSERT_LT(run.code, 128) << "ended by signal " << run.code - 128 << "\n" << run.err;
        if (run.code == 0) {
            sawRun = true;
            EXPECT_TRUE(testsupport::FileExists(dir.File("a.wav")));
            continue;
        }
        EXPECT_EQ(run.code, 1);
        EXPECT_FALSE(testsupport::FileExists(dir.File("a.wav")));
        if (run.err == "dudez: cannot start the conversion: Resource temporarily unavailable\n") {
            sawNoWorker = true;
            // The report still names what was not converted.
            EXPECT_EQ(run.out, "a.kob: not converted: the program was stopped before it\n"
                               "dudez: 1 name, 0 converted (0 with damage), 0 not a KOB file or corrupted, "
                               "0 could not be opened, 1 not converted; ended before the list was done\n");
        } else {
            EXPECT_EQ(run.err, "dudez: cannot start: Resource temporarily unavailable\n");
            sawNoPlatformThread = true;
        }
    }
    EXPECT_TRUE(sawNoPlatformThread);
    EXPECT_TRUE(sawNoWorker);
    EXPECT_TRUE(sawRun);
}

TEST_F(Field, SilenceAHeaderDeclaresCostsNoDiskAndNoTime) {
    // One entry of 400 bytes, no blocks, declaring a billion frames: the salvage fills them with
    // silence, which the file system holds as a hole. The file reads the same.
    kobenc::EntryModel entry;
    entry.storedName = "Empty.aif";
    entry.frameCount = 1000000000;
    kobenc::KobFile file;
    file.entries.push_back(entry);
    kobtest::WriteKob(dir.File("hollow.kob"), file);
    const testsupport::Finished run = RunDudez(dir, {"hollow.kob"});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    struct stat status {};
    ASSERT_EQ(stat(dir.File("empty.wav").c_str(), &status), 0);
    EXPECT_EQ(status.st_size, 44 + 2000000000LL);
    EXPECT_LT(static_cast<long long>(status.st_blocks) * 512, 1 << 20) << "the silence took the disk";
    std::cout << "[ field    ] 2 GB of declared silence on " << status.st_blocks * 512 / 1024 << " KiB of disk" << std::endl;
    std::ifstream wave(dir.File("empty.wav"), std::ios::binary);
    wave.seekg(1500000000);
    char samples[4096];
    wave.read(samples, sizeof samples);
    EXPECT_EQ(std::count(samples, samples + sizeof samples, '\0'), static_cast<long>(sizeof samples));
    EXPECT_NE(run.out.find("wrote empty.wav, 1 damaged stretch silenced"), std::string::npos) << run.out;

    // Twenty seconds of music cut off after about two: the silence that completes them is a
    // hole too, and the room the writer asked for ahead of the music is given back.
    const kobenc::KobFile music = kobenc::Encode({kobtest::Music("Cut.aif", 2, 882000, 1)});
    kobtest::WriteKob(dir.File("cut.kob"), music);
    std::filesystem::resize_file(dir.File("cut.kob"), std::filesystem::file_size(dir.File("cut.kob")) / 10);
    const testsupport::Finished cut = RunDudez(dir, {"cut.kob"});
    EXPECT_EQ(cut.code, 0) << cut.out << cut.err;
    ASSERT_EQ(stat(dir.File("cut.wav").c_str(), &status), 0);
    EXPECT_EQ(status.st_size, 44 + 882000 * 4);
    EXPECT_LT(static_cast<long long>(status.st_blocks) * 512, 882000 * 4 / 10 + (1 << 20)) << "the silence took the disk";
}

TEST_F(Field, AnInputShortenedWhileItIsReadEndsInListedSilenceNotACrash) {
    // Someone shortens the archive to a quarter while its one long recording is restored (a copy
    // overwritten in a shared folder, a full disk). What was read stays restored; the rest is
    // silence, listed, and the program ends as ever, whichever thread met the missing bytes.
    if (testsupport::HookedDudezBinary().empty()) GTEST_SKIP() << "the test build of the program was not built";
    const kobenc::Recording music = kobtest::Music("Shortened.aif", 2, 882000, 3);
    kobtest::WriteKob(dir.File("short.kob"), kobenc::Encode({music}));
    testsupport::Launch launch;
    launch.argv = {testsupport::HookedDudezBinary(), "short.kob"};
    launch.workingDirectory = dir.Path();
    launch.stdoutPath = dir.File("out.txt");
    launch.stderrPath = dir.File("err.txt");
    // A pause after every file call: 3.5 MB of output in writes of 256 KB last a second or so.
    launch.environment = {{"DUDEZ_TEST_THROTTLE", "1:" + std::to_string(20 * testsupport::kSlowdown)}};
    const pid_t pid = testsupport::StartProcess(launch);
    // Once a quarter of a megabyte is written, the blocks read ahead lie before a quarter of the
    // archive, and the rest is still to be read.
    // The probe's hidden file comes and goes meanwhile: only the output's is looked at, and a
    // name gone between the listing and the look is passed over.
    bool midWay = false;
    for (int waited = 0; waited < 20000 && !midWay; ++waited) {
        for (const std::string& name : ListDir(dir.Path())) {
            std::error_code gone;
            if (name.starts_with(".shortened.wav.dudez-") && std::filesystem::file_size(dir.File(name), gone) >= (1 << 18) && !gone)
                midWay = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(midWay) << "the output never grew";
    std::filesystem::resize_file(dir.File("short.kob"), std::filesystem::file_size(dir.File("short.kob")) / 4);
    EXPECT_EQ(testsupport::WaitForExit(pid, 60000), 0) << ReadFileText(dir.File("err.txt"));
    const std::string out = ReadFileText(dir.File("out.txt"));
    EXPECT_NE(out.find("damaged stretch"), std::string::npos) << out;
    EXPECT_TRUE(std::filesystem::exists(dir.File("shortened.wav.err"))) << out;
    const Bytes wave = ReadFileBytes(dir.File("shortened.wav"));
    const Bytes whole = kobtest::ExpectedWave(2, 44100, music.samples);
    ASSERT_EQ(wave.size(), whole.size());
    // The first 100,000 frames lay well before the cut; the last ones behind it are silence.
    EXPECT_TRUE(std::equal(wave.begin(), wave.begin() + 44 + 400000, whole.begin())) << "what was read is not restored";
    EXPECT_TRUE(std::all_of(wave.end() - 400000, wave.end(), [](std::uint8_t byte) { return byte == 0; }));
}

TEST_F(Field, AProgramKilledMidWayLeavesNoFileThatLooksRestored) {
    // SIGKILL (or the kernel's out-of-memory killer, or a power cut) gives no chance to clean
    // up: whatever stays under an output's name must be a whole recording; anything else is
    // a hidden .NAME.dudez-XXXXXX file.
    std::vector<kobenc::Recording> recordings;
    for (std::uint32_t i = 0; i < 6; ++i) recordings.push_back(kobtest::Music("Take " + std::to_string(i) + ".aif", 2, 200000, i));
    kobtest::WriteKob(dir.File("long.kob"), kobenc::Encode(recordings));
    int partial = 0;
    for (int delayMs = 2; delayMs <= 40; delayMs += 2) {
        SCOPED_TRACE(std::to_string(delayMs) + " ms");
        TempDir run;
        std::filesystem::copy_file(dir.File("long.kob"), run.File("long.kob"));
        testsupport::Launch launch;
        launch.argv = {testsupport::DudezBinary(), "long.kob"};
        launch.workingDirectory = run.Path();
        const pid_t pid = testsupport::StartProcess(launch);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(pid, SIGKILL);
        testsupport::WaitForExit(pid, 10000);
        for (const std::string& name : ListDir(run.Path())) {
            if (name == "long.kob") continue;
            if (name[0] == '.') {
                EXPECT_NE(name.find(".dudez-"), std::string::npos) << name;   // a recording or the probe
                ++partial;
                continue;
            }
            const std::size_t i = static_cast<std::size_t>(name[5] - '0');
            ASSERT_LT(i, recordings.size()) << name;
            EXPECT_TRUE(ReadFileBytes(run.File(name)) == kobtest::ExpectedWave(2, 44100, recordings[i].samples))
                << name << " is not whole";
        }
    }
    std::cout << "[ field    ] 20 kills: " << partial << " unfinished files left, each under a hidden name" << std::endl;
}
