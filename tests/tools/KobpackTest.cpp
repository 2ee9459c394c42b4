// kobpack's command line, run in-process.
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"
#include "tests/tools/KobReading.h"
#include "tests/tools/Signals.h"
#include "tools/kobenc/KobpackCli.h"
#include "tools/kobenc/Wave.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

using namespace kobenc;
using namespace kobtest;

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

Outcome Kobpack(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunKobpack(args, out, err);
    return {status, out.str(), err.str()};
}

class KobpackTest : public testing::Test {
protected:
    void SetUp() override {
        first.channelCount = 2;
        first.sampleRate = 32000;
        first.samples = Sweep(2 * 5000, 0.001, 0.05);
        second.samples = Noise(3000, 8, 3000);
        WriteWave(dir.File("first.wav"), first);
        WriteWave(dir.File("second.wav"), second);
    }
    testsupport::TempDir dir;
    WaveAudio first, second;
};

} // namespace

TEST_F(KobpackTest, PacksEveryInputIntoOneChain) {
    const std::string kob = dir.File("out.kob");
    const Outcome run = Kobpack({dir.File("first.wav"), dir.File("second.wav"), "-o", kob, "--junk", "77",
                             "--name", "Lead Vocal.aif", "--block-frames", "1000", "--layout"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("entry 1 at"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 entries"), std::string::npos) << run.out;
    const Bytes b = testsupport::ReadFileBytes(kob);
    ASSERT_GE(b.size(), 77u + 400u);
    EXPECT_EQ(0, std::memcmp(&b[77], "KOB1MRFC", 8));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[77 + 37])), "Lead Vocal.aif");
    EXPECT_EQ(BE32(b, 77 + 292), 32000u);
    const RestoredEntry one = RestoreEntry(b, 77);
    EXPECT_EQ(one.samples, first.samples);
    EXPECT_EQ(one.blockCount, 10u) << "five ranges of two channels";
    const std::uint32_t next = BE32(b, 77 + 12);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[next + 37])), "second.wav") << "default: file part";
    EXPECT_EQ(RestoreEntry(b, next).samples, second.samples);
    EXPECT_EQ(BE32(b, next + 12), 0u);
}

TEST_F(KobpackTest, DamageAndTruncation) {
    const std::string kob = dir.File("bad.kob");
    ASSERT_EQ(Kobpack({dir.File("second.wav"), "-o", kob, "--block-frames", "1000", "--mode", "3",
                       "--damage-block", "1:checksum", "--damage-entry", "0:version"}).status, 0);
    Bytes b = testsupport::ReadFileBytes(kob);
    const RestoredEntry entry = RestoreEntry(b, 0);
    EXPECT_FALSE(entry.allBlocksIntact);
    EXPECT_EQ(b[10], 2);
    EXPECT_TRUE(EntryChecksumValid(b, 0));
    const std::size_t block1 = 400 + 22 + BE16(b, 400 + 16);
    EXPECT_EQ(b[block1 + 5], 3);
    EXPECT_NE(SamplesChecksum(DecodeBlockAt(b, block1)), BE16(b, block1 + 20));

    ASSERT_EQ(Kobpack({dir.File("second.wav"), "-o", kob, "--truncate", "450"}).status, 0);
    EXPECT_EQ(testsupport::ReadFileBytes(kob).size(), 450u);
}

TEST_F(KobpackTest, BadArgumentsShowTheUsage) {
    const std::string wav = dir.File("second.wav"), kob = dir.File("x.kob");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {wav},
             {"-o", kob},
             {wav, "-o"},
             {wav, "-o", kob, "--mode", "6"},
             {wav, "-o", kob, "--block-frames", "8193"},
             {wav, "-o", kob, "--width", "3x"},
             {wav, "-o", kob, "--damage-block", "0:scratch"},
             {wav, "-o", kob, "--damage-block", "7"},
             {wav, "-o", kob, "--frobnicate"},
             {wav, "-o", kob, "--name", "a", "--name", "b"},
         }) {
        const Outcome run = Kobpack(args);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
        EXPECT_NE(run.err.find("usage: kobpack"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(testsupport::FileExists(kob));

    const Outcome outOfRange = Kobpack({wav, "-o", kob, "--damage-block", "99:magic"});
    EXPECT_EQ(outOfRange.status, 2);
    EXPECT_NE(outOfRange.err.find("no block 99"), std::string::npos) << outOfRange.err;

    const Outcome missing = Kobpack({dir.File("none.wav"), "-o", kob});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("none.wav"), std::string::npos);

    const Outcome help = Kobpack({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--damage-block"), std::string::npos);
}
