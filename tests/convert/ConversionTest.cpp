// Whole conversions: KOB files made by the encoder, converted by the batch driver on its worker
// thread against a headless main window, and the files on disk compared byte for byte.
#include "tests/harness/BatchHarness.h"
#include "tests/harness/KobFiles.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"
#include "tools/kobenc/Damage.h"
#include "tools/kobenc/Wave.h"
#include "ui/Globals.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <unistd.h>

using kobtest::ExpectedWave;
using kobtest::Music;
using kobtest::Silenced;
using kobtest::WriteKob;
using testsupport::FileExists;
using testsupport::ListDir;
using testsupport::ReadFileBytes;
using testsupport::ReadFileText;
using testsupport::TempDir;

namespace {

class Conversion : public testing::Test {
protected:
    TempDir dir;
    BatchWindow window;

    BatchRun Convert(const std::string& names) {
        BatchRun run = window.Run(names);
        EXPECT_TRUE(run.finished) << "the batch did not end";
        return run;
    }
    std::string Path(const std::string& name) const { return dir.File(name); }
};

std::string NotAKob(const std::string& name) { return "Error: " + name + " is not a KOB file or corrupted\n"; }

} // namespace

TEST_F(Conversion, RestoresEveryChannelLayoutByteForByte) {
    // Short entries are decoded by the converter alone; long ones by the decode helper too, which
    // places the frames of its blocks its own way for stereo and for more channels.
    struct Layout {
        std::uint16_t channels;
        std::uint32_t frames;
    };
    for (const Layout layout : {Layout{1, 10007}, Layout{2, 10007}, Layout{6, 10007}, Layout{2, 400007}, Layout{6, 150007}}) {
        const std::string take = "Take" + std::to_string(layout.channels) + "x" + std::to_string(layout.frames);
        const auto recording = Music(take + ".AIF", layout.channels, layout.frames, layout.channels);
        const std::string kob = WriteKob(Path(take + ".kob"), kobenc::Encode({recording}));
        const BatchRun run = Convert(kob);
        EXPECT_EQ(run.stderrText, "");
        std::string name = take + ".wav";   // lower case, as the outputs are named
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::string wave = Path(name);
        EXPECT_EQ(ReadFileBytes(wave), ExpectedWave(layout.channels, 44100, recording.samples)) << take;
        EXPECT_FALSE(FileExists(wave + ".err"));
    }
}

TEST_F(Conversion, ChainedEntriesBehindJunkBecomeOneFileEach) {
    auto file = kobenc::Encode({Music("First.snd", 2, 5000, 1), Music("Second.AIFF", 1, 3000, 2)});
    file.leadingBytes.assign(128, 0x4B);   // 'K's: every position looks like a start at first
    const std::string kob = WriteKob(Path("two.kob"), file);
    const BatchRun run = Convert(kob);
    EXPECT_EQ(run.stderrText, "");
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"first.wav", "second.wav", "two.kob"}));
    EXPECT_EQ(ReadFileBytes(Path("second.wav")), ExpectedWave(1, 44100, Music("", 1, 3000, 2).samples));
    // Each output was shown in turn, and cleared once complete.
    EXPECT_EQ(run.fileNameTexts, (std::vector<std::string>{Path("first.wav"), "", Path("second.wav"), ""}));
    EXPECT_EQ(run.totalTexts, (std::vector<std::string>{"20000", "0", "6000", "0"}));
    EXPECT_EQ(window.ControlText(IDC_FILENAME), "");
    EXPECT_EQ(window.ProgressPosition(), 100);
}

TEST_F(Conversion, RealRecordingRoundTrips) {
    const std::string source = "/usr/share/sounds/alsa/Front_Center.wav";
    if (!FileExists(source)) GTEST_SKIP() << "no recording at " << source;
    const kobenc::WaveAudio audio = kobenc::ReadWave(source);
    kobenc::Recording recording;
    recording.storedName = "Front_Center.aif";
    recording.channelCount = audio.channelCount;
    recording.sampleRate = audio.sampleRate;
    recording.samples = audio.samples;
    Convert(WriteKob(Path("alsa.kob"), kobenc::Encode({recording})));
    EXPECT_EQ(ReadFileBytes(Path("front_center.wav")),
              ExpectedWave(audio.channelCount, audio.sampleRate, audio.samples));
}

TEST_F(Conversion, DamagedBlocksBecomeSilenceAndAreListed) {
    const auto recording = Music("Damaged.aif", 2, 3 * 4096, 5);
    auto file = kobenc::Encode({recording});
    // Blocks run channel 1, channel 2 per 4096 frames: block 3 is channel 2 of frames 4096-8191.
    auto& blocks = file.entries[0].blocks;
    ASSERT_EQ(blocks[3].channel, 2);
    kobenc::Damage(blocks[3], kobenc::BlockDamage::DataChecksum);
    kobenc::Damage(blocks[4], kobenc::BlockDamage::Magic);        // channel 1, 8192-12287: no line
    Convert(WriteKob(Path("d.kob"), file));
    auto expected = Silenced(recording.samples, 2, 4096, 8192, 2);
    expected = Silenced(expected, 2, 8192, 12288, 1);
    EXPECT_EQ(ReadFileBytes(Path("damaged.wav")), ExpectedWave(2, 44100, expected));
    EXPECT_EQ(ReadFileText(Path("damaged.wav.err")), "128/10\r128/114096128/128192128/14\r");
}

TEST_F(Conversion, ListingNamesChannelsOnlyForMultiChannelEntries) {
    kobenc::EncodeOptions small;
    small.blockFrames = 2048;
    auto mono = kobenc::Encode({Music("mono.aif", 1, 8192, 1)}, small);
    kobenc::Damage(mono.entries[0].blocks[1], kobenc::BlockDamage::PackedBit);
    kobenc::Damage(mono.entries[0].blocks[3], kobenc::BlockDamage::DataChecksum);
    auto six = kobenc::Encode({Music("six.aif", 6, 100, 1)});
    kobenc::Damage(six.entries[0].blocks[0], kobenc::BlockDamage::DataChecksum);
    kobenc::Damage(six.entries[0].blocks[4], kobenc::BlockDamage::DataChecksum);
    Convert(WriteKob(Path("mono.kob"), mono) + " " + WriteKob(Path("six.kob"), six));
    EXPECT_EQ(ReadFileText(Path("mono.wav.err")), "128/10\r128/112048128/124096\r128/116144128/128192\r");
    EXPECT_EQ(ReadFileText(Path("six.wav.err")), "128/10\r128/110128/12100128/13\r128/110128/12100128/155128/16\r");
}

TEST_F(Conversion, BadHeadersAreReportedAndLeaveNothing) {
    struct Case { const char* name; kobenc::EntryDamage damage; };
    for (const Case& c : {Case{"magic", kobenc::EntryDamage::Magic}, Case{"tag", kobenc::EntryDamage::FormatTag},
                          Case{"version", kobenc::EntryDamage::Version},
                          Case{"checksum", kobenc::EntryDamage::HeaderChecksum}}) {
        auto file = kobenc::Encode({Music("never.aif", 1, 100)});
        kobenc::Damage(file.entries[0], c.damage);
        const std::string kob = WriteKob(Path(std::string(c.name) + ".kob"), file);
        const BatchRun run = Convert(kob);
        // A header without its signature is not found at all; the others fail their tests.
        EXPECT_EQ(run.stderrText, NotAKob(kob)) << c.name;
        EXPECT_FALSE(FileExists(Path("never.wav"))) << c.name;
    }
    testsupport::WriteFileText(Path("plain.txt"), "no signature anywhere in here");
    EXPECT_EQ(Convert(Path("plain.txt")).stderrText, NotAKob(Path("plain.txt")));
    EXPECT_EQ(ListDir(dir.Path()).size(), 5u) << "only the inputs";
}

TEST_F(Conversion, FailureInALaterEntryKeepsEarlierOutputs) {
    auto file = kobenc::Encode({Music("good.aif", 2, 5000), Music("bad.aif", 1, 9000)});
    file.entries[1].blocks[1].packedLength = 16385;   // more than the converter can hold
    const std::string kob = WriteKob(Path("later.kob"), file);
    const BatchRun run = Convert(kob);
    EXPECT_EQ(run.stderrText, "Packed buffer too small\n" + NotAKob(kob));
    EXPECT_EQ(ReadFileBytes(Path("good.wav")), ExpectedWave(2, 44100, Music("", 2, 5000).samples));
    EXPECT_FALSE(FileExists(Path("bad.wav")));
    // The panel keeps naming the failed output: that is what would be deleted at exit.
    EXPECT_EQ(window.ControlText(IDC_FILENAME), Path("bad.wav"));
}

TEST_F(Conversion, ListingStartedBeforeAFailureStays) {
    auto file = kobenc::Encode({Music("half.aif", 1, 12000)});
    kobenc::Damage(file.entries[0].blocks[0], kobenc::BlockDamage::DataChecksum);
    file.entries[0].blocks[2].unpackedLength = 16386;
    const std::string kob = WriteKob(Path("half.kob"), file);
    EXPECT_EQ(Convert(kob).stderrText, "Unpacked buffer too small\n" + NotAKob(kob));
    EXPECT_FALSE(FileExists(Path("half.wav")));
    EXPECT_EQ(ReadFileText(Path("half.wav.err")), "128/10\r128/110128/124096\r");
}

TEST_F(Conversion, UnsupportedSampleSizeIsRejected) {
    auto file = kobenc::Encode({Music("eight.aif", 1, 100)});
    file.entries[0].bytesPerSample = 1;
    const std::string kob = WriteKob(Path("eight.kob"), file);
    EXPECT_EQ(Convert(kob).stderrText, NotAKob(kob));
    EXPECT_FALSE(FileExists(Path("eight.wav")));
}

TEST_F(Conversion, CutOffFileIsCompletedWithSilence) {
    const auto recording = Music("cut.aif", 2, 4 * 4096, 9);
    auto image = kobenc::Serialise(kobenc::Encode({recording}));
    // Cut inside the packed data of block 4 (channel 1 of frames 8192-12287).
    const auto& block = image.layout.entries[0].blocks[4];
    image.bytes.resize(block.dataOffset + 10);
    kobenc::WriteBytes(Path("cut.kob"), image.bytes);
    const BatchRun run = Convert(Path("cut.kob"));
    EXPECT_EQ(run.stderrText, "");
    const auto expected = Silenced(recording.samples, 2, 8192, 4 * 4096, 0);
    EXPECT_EQ(ReadFileBytes(Path("cut.wav")), ExpectedWave(2, 44100, expected));
    // The cut block is listed like a damaged one, then the silent rest up to the end.
    EXPECT_EQ(ReadFileText(Path("cut.wav.err")), "128/10\r128/118192128/1212288128/13\r128/1112288128/1216384\r");
}

TEST_F(Conversion, CutOffEntryIsCompletedFromChannelOnesEndNotTheFurthestChannel) {
    // Channel 2 runs two stretches ahead of channel 1, and the file ends inside channel 1's
    // second block: channel 2 reaches frame 12288, but the silence that completes the entry
    // starts where channel 1 stopped, at 8192 (the end of the cut block).
    const auto recording = Music("ahead.aif", 2, 4 * 4096, 11);
    auto file = kobenc::Encode({recording});
    auto& blocks = file.entries[0].blocks;
    blocks = {blocks[0], blocks[1], blocks[3], blocks[5], blocks[2], blocks[4], blocks[6], blocks[7]};
    auto image = kobenc::Serialise(file);
    const auto& cut = image.layout.entries[0].blocks[4];
    ASSERT_EQ(cut.channel, 1);
    ASSERT_EQ(cut.startFrame, 4096u);
    image.bytes.resize(cut.dataOffset + 10);
    kobenc::WriteBytes(Path("ahead.kob"), image.bytes);
    EXPECT_EQ(Convert(Path("ahead.kob")).stderrText, "");
    // The cut block, then the silent rest of the entry.
    EXPECT_EQ(ReadFileText(Path("ahead.wav.err")), "128/10\r128/114096128/128192128/13\r128/118192128/1216384\r");
}

TEST_F(Conversion, CutOffEntryHeaderRejectsTheFile) {
    auto image = kobenc::Serialise(kobenc::Encode({Music("one.aif", 1, 100), Music("two.aif", 1, 100)}));
    image.bytes.resize(image.layout.entries[1].headerOffset + 399);
    kobenc::WriteBytes(Path("short.kob"), image.bytes);
    EXPECT_EQ(Convert(Path("short.kob")).stderrText, NotAKob(Path("short.kob")));
    EXPECT_TRUE(FileExists(Path("one.wav")));
    EXPECT_FALSE(FileExists(Path("two.wav")));
}

TEST_F(Conversion, ChainEndsQuietlyPastTheEndAndLoudlyInALoop) {
    auto past = kobenc::Encode({Music("past.aif", 1, 100)});
    past.entries[0].nextEntry = 1u << 30;
    auto loop = kobenc::Encode({Music("loop.aif", 1, 100)});
    loop.entries[0].nextEntry = 0;
    loop.leadingBytes.assign(3, 0);
    loop.entries[0].nextEntry = 3;   // back to its own header
    const std::string loopKob = WriteKob(Path("loop.kob"), loop);
    const BatchRun run = Convert(WriteKob(Path("past.kob"), past) + " " + loopKob);
    EXPECT_EQ(run.stderrText, NotAKob(loopKob));
    EXPECT_TRUE(FileExists(Path("past.wav")));
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"loop.kob", "loop.wav", "past.kob", "past.wav"}));
}

TEST_F(Conversion, EmptyEntryHasOnlyItsHeader) {
    auto file = kobenc::Encode({Music("empty.aif", 2, 0)});
    Convert(WriteKob(Path("empty.kob"), file));
    EXPECT_EQ(ReadFileBytes(Path("empty.wav")), ExpectedWave(2, 44100, {}));
}

TEST_F(Conversion, ExistingFilesAreNeverTouched) {
    testsupport::WriteFileText(Path("song.wav"), "mine");
    testsupport::WriteFileText(Path("song.1.wav"), "mine too");
    std::filesystem::create_symlink(Path("nowhere"), Path("song.2.wav"));
    const auto recording = Music("Song.aif", 1, 500);
    Convert(WriteKob(Path("song.kob"), kobenc::Encode({recording})));
    EXPECT_EQ(ReadFileText(Path("song.wav")), "mine");
    EXPECT_EQ(ReadFileText(Path("song.1.wav")), "mine too");
    EXPECT_FALSE(FileExists(Path("nowhere"))) << "the dangling link was followed";
    EXPECT_EQ(ReadFileBytes(Path("song.3.wav")), ExpectedWave(1, 44100, recording.samples));
}

TEST_F(Conversion, StoredNameCannotLeaveTheInputsFolder) {
    std::filesystem::create_directory(Path("sub"));
    const std::string kob = WriteKob(Path("sub/in.kob"), kobenc::Encode({Music("../../Escape.aif", 1, 50)}));
    Convert(kob);
    EXPECT_EQ(ListDir(Path("sub")), (std::vector<std::string>{".._.._escape.wav", "in.kob"}));
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"sub"}));
}

TEST_F(Conversion, ALongStoredNameCutToFitKeepsItsOwnName) {
    // Its only dot is the second character: a cut there would leave the bare ".wav", a hidden
    // file without a name. The name is cut without regard to that dot instead.
    const std::string kob = WriteKob(Path("in.kob"), kobenc::Encode({Music("T." + std::string(250, 'a'), 1, 50)}));
    Convert(kob);
    // The file part alone has 254 characters, whatever the folder's path: 249 of them in front
    // of ".wav" (one short of the limit, there being no dot to cut at).
    const std::size_t kept = 249;
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"in.kob", "t." + std::string(kept - 2, 'a') + ".wav"}));
}

TEST_F(Conversion, NameWithoutFolderWritesIntoTheCurrentDirectory) {
    WriteKob(Path("here.kob"), kobenc::Encode({Music("Here.AIF", 1, 50)}));
    const std::string previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    Convert("here.kob");
    std::filesystem::current_path(previous);
    EXPECT_TRUE(FileExists(Path("here.wav")));
}

TEST_F(Conversion, BundledSampleGivesTwoRecordingsAndOneListing) {
    const char* source = std::getenv("DUDEZ_SOURCE_DIR");
    if (!source) GTEST_SKIP() << "DUDEZ_SOURCE_DIR is not set";
    std::filesystem::copy_file(std::string(source) + "/tools/samples/demo.kob", Path("demo.kob"));
    const BatchRun run = Convert(Path("demo.kob"));
    EXPECT_EQ(run.stderrText, "");
    EXPECT_EQ(ListDir(dir.Path()),
              (std::vector<std::string>{"damaged take.wav", "damaged take.wav.err", "demo.kob", "welcome.wav"}));
    EXPECT_EQ(ReadFileText(Path("damaged take.wav.err")), "128/10\r128/1140960128/1245056\r");
}

TEST_F(Conversion, TrailingDataIsReadButLeavesTheSoundAlone) {
    auto first = Music("tail.aif", 1, 3000, 4);
    first.trailer.assign(1000, 0xAB);
    first.trailerTag = 0x54455854;
    auto second = Music("huge.aif", 1, 2000, 5);
    second.trailer.assign(10, 1);
    auto file = kobenc::Encode({first, second});
    // A damaged length that claims far more than the file holds must not stop the entry.
    file.entries[1].trailerLength = 0xFFFFFFF0u;
    const BatchRun run = Convert(WriteKob(Path("tail.kob"), file));
    EXPECT_EQ(run.stderrText, "");
    EXPECT_EQ(ReadFileBytes(Path("tail.wav")), ExpectedWave(1, 44100, first.samples));
    EXPECT_EQ(ReadFileBytes(Path("huge.wav")), ExpectedWave(1, 44100, second.samples));
}

TEST_F(Conversion, BlocksOutOfTurnLandWhereTheirHeadersSay) {
    // Blocks that do not come as channel 1 and 2 of the same frames, run after run, are written
    // as each header says, whatever came before: a channel-1 block sets its frames whole, the
    // other channel zero; a channel-2 block sets its own samples; the last one written wins.
    const std::uint32_t frames = 8 * 256;
    const auto recording = Music("turns.aif", 2, frames, 8);
    struct Variant {
        const char* label;
        void (*change)(std::vector<kobenc::BlockModel>&);
    };
    const Variant variants[] = {
        {"a second channel ten frames on", [](std::vector<kobenc::BlockModel>& b) { b[5].startFrame += 10; }},
        {"a run's channels swapped", [](std::vector<kobenc::BlockModel>& b) { std::swap(b[6], b[7]); }},
        {"a first channel moved back", [](std::vector<kobenc::BlockModel>& b) { b[6].startFrame = 100; }},
        {"a run read twice", [](std::vector<kobenc::BlockModel>& b) { b[8] = b[4]; }},
        {"the last run one channel short", [](std::vector<kobenc::BlockModel>& b) { b.pop_back(); }},
    };
    for (const Variant& v : variants) {
        kobenc::EncodeOptions options;
        options.blockFrames = 256;
        auto file = kobenc::Encode({recording}, options);
        std::vector<kobenc::BlockModel>& blocks = file.entries[0].blocks;
        ASSERT_EQ(blocks.size(), 16u);
        v.change(blocks);
        std::vector<std::int16_t> expected(std::size_t{frames} * 2, 0);
        for (const kobenc::BlockModel& block : blocks) {
            for (std::size_t i = 0; i < block.samples.size(); ++i) {
                const std::size_t frame = block.startFrame + i;
                if (frame >= frames) continue;
                expected[2 * frame + block.channel - 1] = block.samples[i];
                if (block.channel == 1) expected[2 * frame + 1] = 0;
            }
        }
        Convert(WriteKob(Path("turns.kob"), file));
        EXPECT_EQ(ReadFileBytes(Path("turns.wav")), ExpectedWave(2, 44100, expected)) << v.label;
        std::filesystem::remove(Path("turns.wav"));
        std::filesystem::remove(Path("turns.wav.err"));
    }
}

TEST_F(Conversion, FramesNoBlockReachesAreSilenceAndTheWaveIsComplete) {
    // The last of three blocks counts against the entry's samples but lands outside the sound:
    // the file must still hold every frame its header counts, the missing ones silent and listed.
    const auto recording = Music("gap.aif", 1, 3 * 256, 6);
    struct Variant {
        const char* label;
        void (*change)(kobenc::BlockModel&);
    };
    const Variant variants[] = {
        {"a channel the entry lacks", [](kobenc::BlockModel& b) { b.channel = 3; }},
        {"frames past the end", [](kobenc::BlockModel& b) { b.startFrame = 5000; }},
        {"a broken magic and a wild header", [](kobenc::BlockModel& b) {
             kobenc::Damage(b, kobenc::BlockDamage::Magic);
             b.channel = 9;
         }},
    };
    for (const Variant& v : variants) {
        kobenc::EncodeOptions options;
        options.blockFrames = 256;
        auto file = kobenc::Encode({recording}, options);
        ASSERT_EQ(file.entries[0].blocks.size(), 3u);
        v.change(file.entries[0].blocks[2]);
        const BatchRun run = Convert(WriteKob(Path("gap.kob"), file));
        EXPECT_EQ(run.stderrText, "") << v.label;
        EXPECT_EQ(ReadFileBytes(Path("gap.wav")), ExpectedWave(1, 44100, Silenced(recording.samples, 1, 512, 768, 0)))
            << v.label;
        EXPECT_EQ(ReadFileText(Path("gap.wav.err")), "128/10\r128/11512128/12768\r") << v.label;
        std::filesystem::remove(Path("gap.wav"));
        std::filesystem::remove(Path("gap.wav.err"));
    }
}

TEST_F(Conversion, CutOffEntryIsCompletedFromItsLastFrameReallyWritten) {
    // Block 1 of a cut-off entry claims frames past the end; it writes nothing there, so the
    // silence that completes the entry starts behind block 0.
    const auto recording = Music("wild.aif", 1, 3 * 256, 7);
    kobenc::EncodeOptions options;
    options.blockFrames = 256;
    auto file = kobenc::Encode({recording}, options);
    file.entries[0].blocks[1].startFrame = 100000;
    auto image = kobenc::Serialise(file);
    image.bytes.resize(image.layout.entries[0].blocks[2].offset + 5);
    kobenc::WriteBytes(Path("wild.kob"), image.bytes);
    EXPECT_EQ(Convert(Path("wild.kob")).stderrText, "");
    EXPECT_EQ(ReadFileBytes(Path("wild.wav")), ExpectedWave(1, 44100, Silenced(recording.samples, 1, 256, 768, 0)));
    EXPECT_EQ(ReadFileText(Path("wild.wav.err")), "128/10\r128/11256128/12768\r");
}
