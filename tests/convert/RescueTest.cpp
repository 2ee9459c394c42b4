// --rescue on archives damaged the ways media and copies damage them: every block the damage
// left whole comes back bit-exact, no sample comes back wrong, and every stretch left silent is
// listed. The plain reader's results for the same files are what the other conversion tests pin.
#include "convert/BatchReport.h"
#include "convert/BlockScanner.h"
#include "convert/ClaimedRanges.h"
#include "convert/RunOptions.h"
#include "stream/FileSpec.h"
#include "stream/LFileCachedStream.h"
#include "tests/harness/BatchHarness.h"
#include "tests/harness/KobFiles.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"
#include "tools/damagebench/Scoring.h"
#include "tools/kobenc/KobSerialiser.h"
#include "tools/kobenc/Wave.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <limits>

using kobtest::Music;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Archive {
    kobenc::KobImage image;
    std::vector<damagebench::Original> originals;
};

// Three recordings, stereo, mono and stereo, the second at another rate, in blocks of 2,048
// frames.
Archive ThreeRecordings() {
    std::vector<kobenc::Recording> recordings{Music("One.aif", 2, 9000, 1), Music("Two.aif", 1, 7000, 2),
                                              Music("Three.aif", 2, 11000, 3)};
    recordings[1].sampleRate = 48000;
    kobenc::EncodeOptions options;
    options.blockFrames = 2048;
    Archive archive{kobenc::Serialise(kobenc::Encode(recordings, options)), {}};
    for (const kobenc::Recording& r : recordings) archive.originals.push_back({r.channelCount, r.samples});
    return archive;
}

// What a damage did to the bytes, in the original file's positions: a block whose bytes meet
// one of these stretches is not intact. An insertion is an empty stretch that splits a block.
struct Touch {
    std::int64_t first, end;
};

struct Damage {
    const char* name;
    // The entry headers are left alone: each recording comes back under its own name, its
    // blocks read on past the damage, and there is no other output.
    bool headersWhole;
    std::function<std::vector<Touch>(Bytes&, const kobenc::Layout&)> apply;
};

const kobenc::BlockPlacement& Block(const kobenc::Layout& layout, std::size_t entry, std::size_t block) {
    return layout.entries[entry].blocks[block];
}

std::vector<Damage> Damages() {
    constexpr std::int64_t kEnd = std::numeric_limits<std::int64_t>::max();
    auto zero = [](Bytes& bytes, std::int64_t first, std::int64_t end) {
        for (std::int64_t i = first; i < end; ++i) bytes[static_cast<std::size_t>(i)] = 0;
        return std::vector<Touch>{{first, end}};
    };
    return {
        {"the first sector zeroed", false, [=](Bytes& b, const kobenc::Layout&) { return zero(b, 0, 512); }},
        {"a 4 KiB sector zeroed across a block header", true,
         [=](Bytes& b, const kobenc::Layout& l) {
             const std::int64_t sector = Block(l, 0, 3).offset / 4096 * 4096;
             return zero(b, sector, sector + 4096);
         }},
        {"the first entry header's checksum failing", false,
         [](Bytes& b, const kobenc::Layout&) {
             b[350] ^= 0x20;
             return std::vector<Touch>{{350, 351}};
         }},
        {"the first entry header's magic broken", false,
         [](Bytes& b, const kobenc::Layout&) {
             b[0] = 'X';
             return std::vector<Touch>{{0, 1}};
         }},
        {"7 bytes inserted into a block's data", true,
         [](Bytes& b, const kobenc::Layout& l) {
             const std::int64_t at = Block(l, 0, 2).dataOffset + 10;
             b.insert(b.begin() + at, 7, 0x5A);
             return std::vector<Touch>{{at, at}};
         }},
        {"bits flipped in two block headers", true,
         [](Bytes& b, const kobenc::Layout& l) {
             const std::int64_t start = Block(l, 0, 4).offset + 13, magic = Block(l, 2, 1).offset + 1;
             b[static_cast<std::size_t>(start)] ^= 0x01;
             b[static_cast<std::size_t>(magic)] ^= 0x40;
             return std::vector<Touch>{{start, start + 1}, {magic, magic + 1}};
         }},
        {"cut in the last entry's blocks", true,
         [](Bytes& b, const kobenc::Layout& l) {
             const std::int64_t at = Block(l, 2, 3).offset + 30;
             b.resize(static_cast<std::size_t>(at));
             return std::vector<Touch>{{at, kEnd}};
         }},
        {"cut in the second entry header", false,
         [](Bytes& b, const kobenc::Layout& l) {
             const std::int64_t at = l.entries[1].headerOffset + 200;
             b.resize(static_cast<std::size_t>(at));
             return std::vector<Touch>{{at, kEnd}};
         }},
        {"a stretch lost from the middle of an entry", false,
         [](Bytes& b, const kobenc::Layout& l) {
             const std::int64_t at = Block(l, 1, 1).dataOffset + 100;
             b.erase(b.begin() + at, b.begin() + at + 5000);
             return std::vector<Touch>{{at, at + 5000}};
         }},
        {"the second entry header zeroed with the blocks around it", false,
         [=](Bytes& b, const kobenc::Layout& l) {
             return zero(b, Block(l, 0, 8).dataOffset + 5, Block(l, 1, 1).offset + 3);
         }},
    };
}

damagebench::IntactMap IntactSamples(const Archive& archive, const std::vector<Touch>& touched) {
    damagebench::IntactMap intact(archive.originals.size());
    for (std::size_t e = 0; e < archive.originals.size(); ++e) {
        intact[e].assign(archive.originals[e].samples.size(), false);
        for (const kobenc::BlockPlacement& block : archive.image.layout.entries[e].blocks) {
            const std::int64_t from = block.offset, to = block.dataOffset + block.packedLength;
            bool hit = false;
            for (const Touch& t : touched)
                hit = hit || (t.first == t.end ? from < t.first && t.first < to : t.first < to && from < t.end);
            if (hit) continue;
            for (std::uint32_t f = block.startFrame; f < block.startFrame + block.unpackedLength / 2u; ++f)
                intact[e][static_cast<std::size_t>(f) * archive.originals[e].channels + block.channel - 1u] = true;
        }
    }
    return intact;
}

class Rescue : public testing::Test {
protected:
    TempDir dir;
    BatchWindow window;
    void SetUp() override { TheRunOptions().rescue = true; }
    void TearDown() override { TheRunOptions().rescue = false; }

    // Converts the bytes as album.kob in a folder of its own; returns the report's text.
    std::string Convert(const std::string& folder, const Bytes& bytes) {
        const std::string path = dir.File(folder);
        std::filesystem::create_directory(path);
        testsupport::WriteFileBytes(path + "/album.kob", bytes);
        const BatchRun run = window.Run(path + "/album.kob");
        EXPECT_TRUE(run.finished);
        return TheBatchReport().Conclude().text;
    }
};

} // namespace

TEST_F(Rescue, EveryIntactBlockComesBackAndNothingWrong) {
    const Archive archive = ThreeRecordings();
    int n = 0;
    for (const Damage& damage : Damages()) {
        Bytes bytes = archive.image.bytes;
        const std::vector<Touch> touched = damage.apply(bytes, archive.image.layout);
        const std::string folder = "case" + std::to_string(n++);
        const std::string report = Convert(folder, bytes);
        const damagebench::Score score =
            damagebench::ScoreOutputs(archive.originals, IntactSamples(archive, touched), dir.File(folder));
        EXPECT_GT(score.intact, 10000u) << damage.name;
        EXPECT_EQ(score.restored, score.intact) << damage.name << "\n" << report;
        EXPECT_EQ(score.wrong, 0u) << damage.name << "\n" << report;
        EXPECT_EQ(score.unlisted, 0u) << damage.name << ": a silent stretch is not listed\n" << report;
        if (damage.headersWhole) {
            std::vector<std::string> waves;
            for (const std::string& name : testsupport::ListDir(dir.File(folder)))
                if (name.size() > 4 && name.compare(name.size() - 4, 4, ".wav") == 0) waves.push_back(name);
            EXPECT_EQ(waves, (std::vector<std::string>{"one.wav", "three.wav", "two.wav"})) << damage.name;
        }
    }
}

TEST_F(Rescue, ARecordingWithoutItsHeaderIsNamedAndTimedFromItsNeighbours) {
    Bytes bytes = ThreeRecordings().image.bytes;
    std::fill(bytes.begin(), bytes.begin() + 512, 0);
    const std::string report = Convert("lost", bytes);
    const std::string folder = dir.File("lost");
    EXPECT_NE(report.find(": wrote " + folder + "/album.rescued.1.wav, rescued (found without its entry header, channels "
                          "and length taken from its blocks; sample rate taken from a neighbouring entry; named after "
                          "the KOB file), 1 damaged stretch silenced, listed in " + folder + "/album.rescued.1.wav.err\n"),
              std::string::npos) << report;
    EXPECT_NE(report.find(": wrote " + folder + "/two.wav, restored whole\n"), std::string::npos) << report;
    // The nearest entry that passed its tests is the second, at 48 kHz.
    EXPECT_EQ(kobenc::ReadWave(folder + "/album.rescued.1.wav").sampleRate, 48000u);
    EXPECT_NE(report.find("1 converted (1 with damage)"), std::string::npos) << report;
}

TEST_F(Rescue, ADamagedHeaderBorneOutByItsBlocksKeepsItsNameAndWhatCannotBeFoundIsSaid) {
    const Archive archive = ThreeRecordings();
    Bytes bytes = archive.image.bytes;
    bytes[350] ^= 0x20;   // the first header's checksum fails
    // The third header's checksum fails and its blocks are gone: nothing bears it out.
    const std::uint32_t third = archive.image.layout.entries[2].headerOffset;
    bytes[third + 350] ^= 0x20;
    bytes.resize(third + 400);
    const std::string report = Convert("named", bytes);
    const std::string folder = dir.File("named");
    EXPECT_NE(report.find(": wrote " + folder + "/one.wav, rescued (its entry header damaged), no stretch silenced\n"),
              std::string::npos) << report;
    EXPECT_NE(report.find(": not restored: the entry header at byte " + std::to_string(third) +
                          " fails its tests (its checksum fails), and no blocks were found for it\n"),
              std::string::npos) << report;
    EXPECT_EQ(report.find("byte 0 fails"), std::string::npos) << "a header that was used is not missing\n" << report;

    // A length changed by the damage is not borne out by blocks that end at the next entry: the
    // recording is as long as they are.
    bytes = archive.image.bytes;
    bytes[297] ^= 0x01;   // frameCount + 65,536
    const std::string longer = Convert("longer", bytes);
    EXPECT_NE(longer.find("/one.wav, rescued (its entry header damaged; channels and length taken from its blocks), "),
              std::string::npos) << longer;
    EXPECT_EQ(kobenc::ReadWave(dir.File("longer/one.wav")).samples, archive.originals[0].samples);
}

TEST_F(Rescue, JunkIsStillRefusedAndThePlainReaderSaysWhenRescueMayHelp) {
    Bytes junk(100000, 0x4B);
    std::string report = Convert("junk", junk);
    EXPECT_NE(report.find("album.kob: not a KOB file or corrupted\n"), std::string::npos) << report;

    TheRunOptions().rescue = false;
    EXPECT_EQ(Convert("junk-plain", junk).find("--rescue"), std::string::npos);
    Bytes damaged = ThreeRecordings().image.bytes;
    damaged[350] ^= 0x20;
    report = Convert("plain", damaged);
    EXPECT_NE(report.find("album.kob: not a KOB file or corrupted\n" + dir.File("plain") +
                          "/album.kob: holds the signatures of entries or blocks: --rescue may restore part of it\n"),
              std::string::npos) << report;
}

TEST(BlockScanner, FindsABlockHeaderAcrossTheEdgeOfWhatItReadsAtOnce) {
    TempDir dir;
    const Bytes block = kobenc::Serialise(kobenc::Encode({Music("a", 1, 100)})).bytes;
    const std::size_t header = 400;   // the first block's header, right behind the entry header
    // Every place around the 32 KiB edge of the search's reads, a whole header straddling it.
    for (std::size_t at = 32768 - 30; at <= 32768 + 2; ++at) {
        Bytes bytes(at + 64, 0);
        std::copy(block.begin() + header, block.begin() + header + 22, bytes.begin() + static_cast<std::ptrdiff_t>(at));
        testsupport::WriteFileBytes(dir.File("f"), bytes);
        LFileCachedStream input(MakeFileSpec(dir.File("f")), 0x40000);
        input.OpenDataFork(0);
        const SignatureFind find = FindSignature(input, 0);
        EXPECT_EQ(find.kind, SignatureFind::Kind::kBlock) << at;
        EXPECT_EQ(find.position, static_cast<std::int64_t>(at));
    }
}

TEST(ClaimedRanges, FullMergesTheClosestAndNeverForgetsAClaim) {
    ClaimedRanges claimed(3);
    claimed.Add(0, 10);
    claimed.Add(10, 20);   // touching: one stretch
    EXPECT_EQ(claimed.Count(), 1u);
    claimed.Add(100, 110);
    claimed.Add(30, 40);
    claimed.Add(200, 210);   // a fourth: 20..30 is the smallest gap and becomes claimed
    EXPECT_EQ(claimed.Count(), 3u);
    for (const std::int64_t p : {0, 19, 25, 39, 100, 109, 200, 209}) EXPECT_GE(claimed.EndOf(p), p + 1) << p;
    for (const std::int64_t p : {40, 99, 110, 199, 210}) EXPECT_EQ(claimed.EndOf(p), -1) << p;
    claimed.Add(35, 105);   // over several: they merge
    EXPECT_EQ(claimed.EndOf(50), 110);
}
