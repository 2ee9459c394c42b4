// Encoded blocks decoded by the program's block decoder give back exactly what went in.
#include "tests/tools/KobReading.h"
#include "tests/tools/Signals.h"
#include "tools/kobenc/KobSerialiser.h"
#include "tools/kobenc/Wave.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>

using namespace kobenc;
using namespace kobtest;

namespace {

Recording Mono(std::vector<std::int16_t> samples) {
    Recording r;
    r.samples = std::move(samples);
    return r;
}

// Encodes, then restores every entry through the decoder and checks the blocks are sound.
void ExpectRoundTrip(const std::vector<Recording>& recordings, const EncodeOptions& options, const std::string& what) {
    const KobImage image = EncodeToImage(recordings, options);
    for (std::size_t e = 0; e < recordings.size(); ++e) {
        const RestoredEntry restored = RestoreEntry(image.bytes, image.layout.entries[e].headerOffset);
        EXPECT_TRUE(restored.allBlocksIntact) << what;
        EXPECT_TRUE(restored.independentOfNextByte) << what << ": a group runs past its block";
        EXPECT_TRUE(restored.samples == recordings[e].samples) << what;
        for (const BlockPlacement& block : image.layout.entries[e].blocks) {
            EXPECT_LE(block.packedLength, kMaxBlockBytes) << what;
            if (options.block.forcedMode) {
                EXPECT_EQ(block.mode, *options.block.forcedMode) << what;
            }
        }
    }
}

std::map<std::string, std::vector<std::int16_t>> Signals() {
    std::vector<std::int16_t> joined = Sweep(3000, 0.001, 0.02);
    for (std::int16_t s : Noise(2000, 5, 200)) joined.push_back(s);
    return {
        {"noise", Noise(9000, 1)},
        {"quiet noise", Noise(5000, 2, 50)},
        {"square", Square(9000, 64)},
        {"fast square", Square(5000, 2)},
        {"sweep", Sweep(9000, 0.0005, 0.45)},
        {"silence", std::vector<std::int16_t>(5000, 0)},
        {"extremes", Extremes(5000)},
        {"sweep then noise", joined},
    };
}

} // namespace

TEST(RoundTrip, EveryModeOnEverySignal) {
    for (const auto& [name, samples] : Signals()) {
        for (int mode = 0; mode <= 5; ++mode) {
            EncodeOptions options;
            options.blockFrames = 4096;
            if (mode != 0) options.block.forcedMode = mode;
            ExpectRoundTrip({Mono(samples)}, options, name + " mode " + std::to_string(mode));
        }
    }
}

TEST(RoundTrip, ForcedWidthsAndOddBlockSizes) {
    EncodeOptions options;
    options.block.forcedWidth = 17;
    ExpectRoundTrip({Mono(Extremes(3000)), Mono(Noise(3000, 3))}, options, "width 17");
    options.block.forcedWidth = 2;
    ExpectRoundTrip({Mono(std::vector<std::int16_t>(100, 0))}, options, "width 2 silence");
    options.block.forcedWidth.reset();
    for (std::uint32_t frames : {1u, 3u, 15u, 16u, 17u, 8192u}) {
        options.blockFrames = frames;
        ExpectRoundTrip({Mono(Sweep(700, 0.01, 0.1))}, options, std::to_string(frames) + "-frame blocks");
    }
}

TEST(RoundTrip, SixChannelsKeepChannelOneFirstPerRange) {
    // Noise on some channels forces splits there, so the ranges of channel 1 and the others
    // do not line up block for block.
    Recording r;
    r.channelCount = 6;
    const std::vector<std::int16_t> loud = Noise(8192 * 2 + 100, 9);
    const std::vector<std::int16_t> sweep = Sweep(loud.size(), 0.001, 0.01);
    for (std::size_t f = 0; f < loud.size(); ++f) {
        for (int c = 0; c < 6; ++c) r.samples.push_back(c % 2 == 0 ? loud[(f + 977 * static_cast<std::size_t>(c)) % loud.size()] : sweep[f]);
    }
    EncodeOptions options;
    options.blockFrames = 8192;
    ExpectRoundTrip({r}, options, "six channels");

    const KobImage image = EncodeToImage({r}, options);
    const auto& blocks = image.layout.entries[0].blocks;
    std::vector<std::uint32_t> channelOneCovered(1, 0); // frames below this have a channel 1 block
    std::vector<std::uint32_t> covered(7, 0);
    for (const BlockPlacement& block : blocks) {
        ASSERT_GE(block.channel, 1);
        ASSERT_LE(block.channel, 6);
        EXPECT_EQ(block.startFrame, covered[block.channel]) << "each channel's blocks run in frame order";
        covered[block.channel] = block.startFrame + block.frameCount;
        if (block.channel != 1) {
            EXPECT_LE(block.startFrame + block.frameCount, covered[1]) << "channel 1 block for these frames comes first";
        }
    }
    for (int c = 1; c <= 6; ++c) EXPECT_EQ(covered[c], loud.size());
}

TEST(RoundTrip, AutoModePacksSmallestAndSuitsTheSignal) {
    for (const auto& [name, samples] : Signals()) {
        const KobImage automatic = EncodeToImage({Mono(samples)});
        for (int mode = 1; mode <= 5; ++mode) {
            EncodeOptions forced;
            forced.block.forcedMode = mode;
            const KobImage image = EncodeToImage({Mono(samples)}, forced);
            const auto& a = automatic.layout.entries[0].blocks;
            const auto& f = image.layout.entries[0].blocks;
            if (a.size() != f.size()) continue; // a split changes the block ranges
            for (std::size_t i = 0; i < a.size(); ++i) {
                EXPECT_LE(a[i].packedLength, f[i].packedLength) << name << " block " << i << " mode " << mode;
            }
        }
    }
    // Noise below full scale is best left unpredicted (at full scale wrap-around makes every
    // mode equal); a slow sweep is best predicted from several samples.
    EXPECT_EQ(EncodeToImage({Mono(Noise(4096, 4, 8000))}).layout.entries[0].blocks[0].mode, 2);
    const BlockPlacement smooth = EncodeToImage({Mono(Sweep(4096, 0.001, 0.002))}).layout.entries[0].blocks[0];
    EXPECT_TRUE(smooth.mode == 4 || smooth.mode == 5 || smooth.mode == 1) << int{smooth.mode};
    EXPECT_LT(smooth.packedLength, 4096u) << "under 8 bits a sample";
}

TEST(RoundTrip, WhiteNoiseInLongBlocksIsSplitUnderTheLimit) {
    for (int width : {0, 16, 17}) {
        EncodeOptions options;
        options.blockFrames = 8192;
        if (width) options.block.forcedWidth = width;
        const std::vector<std::int16_t> noise = Noise(8192 * 3, 11);
        const KobImage image = EncodeToImage({Mono(noise)}, options);
        const auto& blocks = image.layout.entries[0].blocks;
        EXPECT_GT(blocks.size(), 3u) << "full-scale noise cannot pack 8192 frames in 16384 bytes";
        std::uint32_t next = 0;
        for (const BlockPlacement& block : blocks) {
            EXPECT_LE(block.packedLength, kMaxBlockBytes);
            EXPECT_LE(block.unpackedLength, kMaxBlockBytes);
            EXPECT_EQ(block.startFrame, next);
            next += block.frameCount;
        }
        EXPECT_EQ(next, noise.size());
        ExpectRoundTrip({Mono(noise)}, options, "noise width " + std::to_string(width));
    }
    EncodeOptions tooLong;
    tooLong.blockFrames = 8193;
    EXPECT_THROW(EncodeToImage({Mono(Noise(10, 1))}, tooLong), std::invalid_argument);
}

TEST(RoundTrip, RealRecordings) {
    const std::string folder = "/usr/share/sounds/alsa";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << folder << " is not installed (alsa-utils)";
    std::size_t pcmBytes = 0, kobBytes = 0, files = 0;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        if (item.path().extension() != ".wav") continue;
        const WaveAudio audio = ReadWave(item.path().string());
        Recording r;
        r.storedName = item.path().filename().string();
        r.sampleRate = audio.sampleRate;
        r.channelCount = audio.channelCount;
        r.samples = audio.samples;
        ExpectRoundTrip({r}, {}, r.storedName);
        pcmBytes += audio.samples.size() * 2;
        kobBytes += EncodeToImage({r}).bytes.size();
        ++files;
    }
    if (files == 0) GTEST_SKIP() << "no WAVE files in " << folder;
    const double ratio = static_cast<double>(pcmBytes) / static_cast<double>(kobBytes);
    std::cout << "compression of " << files << " recordings: " << pcmBytes << " sample bytes in " << kobBytes
              << " KOB bytes, ratio " << ratio << "\n";
    RecordProperty("compression_ratio", std::to_string(ratio));
    EXPECT_GT(ratio, 1.2) << "speech should compress";
}
