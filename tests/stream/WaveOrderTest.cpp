// The WAVE writer against a plain model of what the file must hold, for every order in which
// runs of frames can come: channel 2 before channel 1, overlapping runs, runs of different
// lengths per channel, channels the sound does not have, frames past its end, and runs far
// wider than the writer keeps in memory. The model is the writer as it first was, a read-back
// of the file for every later channel; the writer must give the same bytes, file length
// included, whatever the writer keeps in memory.
#include "stream/LWaveFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

using testsupport::Bytes;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

struct FrameRun {
    std::int32_t first;
    std::int32_t frames;
    std::uint16_t channel;
    bool writeOut = false;   // the writer is told to write its held frames after this run
};

// The file as the writer must leave it: a channel-1 run sets its frames' other channels to
// zero; a later channel changes its own two bytes in each frame and keeps the rest (zero where
// the file held nothing yet); the file grows to the end of the last frame written.
class WaveModel {
public:
    WaveModel(std::int32_t frameCount, std::uint16_t channels)
        : mFrameCount(frameCount), mChannels(channels), mFile(44, 0) {}

    void Write(const FrameRun& run, const std::uint8_t* samples) {
        if (run.channel < 1 || run.channel > mChannels) return;
        const std::int64_t start = std::max<std::int64_t>(run.first, 0);
        const std::int64_t stop = std::min<std::int64_t>(std::int64_t{run.first} + run.frames, mFrameCount);
        if (start >= stop) return;
        const std::size_t frameBytes = std::size_t{mChannels} * 2;
        mFile.resize(std::max(mFile.size(), 44 + static_cast<std::size_t>(stop) * frameBytes), 0);
        for (std::int64_t f = start; f < stop; ++f) {
            std::uint8_t* frame = mFile.data() + 44 + static_cast<std::size_t>(f) * frameBytes;
            if (run.channel == 1) std::memset(frame, 0, frameBytes);
            const std::uint8_t* sample = samples + 2 * (f - run.first);
            frame[2 * (run.channel - 1)] = sample[1];
            frame[2 * (run.channel - 1) + 1] = sample[0];
        }
    }

    // The data part only: the header is the writer's own test.
    Bytes Data() const { return Bytes(mFile.begin() + 44, mFile.end()); }

private:
    std::int32_t mFrameCount;
    std::uint16_t mChannels;
    Bytes mFile;
};

// Samples that tell runs and frames apart: no two runs of a test write the same values.
Bytes Samples(std::int32_t frames, std::uint32_t seed) {
    Bytes bytes(static_cast<std::size_t>(std::max(frames, 0)) * 2);
    std::mt19937 random(seed);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random() | 1);   // never zero
    return bytes;
}

// Writes the runs through a writer and through the model; the data parts must be equal.
void ExpectSameAsModelHolding(std::int32_t heldBytes, std::int32_t frameCount, std::uint16_t channels,
                              const std::vector<FrameRun>& runs) {
    SCOPED_TRACE("holding " + std::to_string(heldBytes) + " bytes");
    TempDir dir;
    const std::string path = dir.File("order.wav");
    WaveModel model(frameCount, channels);
    {
        LWaveFile wave(MakeFileSpec(path), heldBytes);
        wave.CreateAudioFile(0, wave.GetFileType());
        wave.SetFormat(frameCount, channels, 2, 8000);
        std::uint32_t seed = 1;
        for (const FrameRun& run : runs) {
            const Bytes samples = Samples(run.frames, seed++);
            wave.WriteSamples(run.first, run.frames, run.channel, samples.data());
            model.Write(run, samples.data());
            if (run.writeOut) wave.WriteHeldFrames();
        }
    }
    const Bytes file = ReadFileBytes(path);
    ASSERT_GE(file.size(), 44u);
    const Bytes data(file.begin() + 44, file.end());
    const Bytes expected = model.Data();
    ASSERT_EQ(data.size(), expected.size()) << "file length";
    const auto diff = std::mismatch(data.begin(), data.end(), expected.begin());
    EXPECT_TRUE(diff.first == data.end())
        << "first difference at data byte " << (diff.first - data.begin()) << " of " << data.size();
}

// The same runs through the writer as it is built, and with it holding a few frames or a single
// one, so that every run is sliced and most frames leave memory before their other channels come.
void ExpectSameAsModel(std::int32_t frameCount, std::uint16_t channels, const std::vector<FrameRun>& runs) {
    for (const std::int32_t heldBytes : {LWaveFile::kHeldBytes, 1000, 1})
        ExpectSameAsModelHolding(heldBytes, frameCount, channels, runs);
}

} // namespace

TEST(WaveOrder, ChannelsInTheirUsualOrder) {
    ExpectSameAsModel(20000, 2, {{0, 8192, 1}, {0, 8192, 2}, {8192, 8192, 1}, {8192, 8192, 2},
                                 {16384, 3616, 1}, {16384, 3616, 2}});
    ExpectSameAsModel(1000, 6, {{0, 500, 1}, {0, 500, 2}, {0, 500, 3}, {0, 500, 4}, {0, 500, 5},
                                {0, 500, 6}, {500, 500, 1}, {500, 500, 6}, {500, 500, 3}});
}

TEST(WaveOrder, LaterChannelsBeforeTheirFrames) {
    // Channel 2 first, where the file holds nothing yet; then channel 1 wipes it.
    ExpectSameAsModel(100, 2, {{10, 20, 2}, {0, 15, 1}, {40, 10, 2}});
    // A later channel reaching past what channel 1 wrote, and into a gap between runs.
    ExpectSameAsModel(300, 3, {{0, 50, 1}, {100, 50, 1}, {20, 120, 3}, {0, 200, 2}});
}

TEST(WaveOrder, OverlappingRunsOfDifferentLengths) {
    ExpectSameAsModel(5000, 2, {{0, 1000, 1}, {500, 1000, 2}, {200, 100, 1}, {900, 3000, 2},
                                {4000, 1000, 1}, {3500, 1500, 1}, {0, 5000, 2}});
    // Runs going backwards through the sound.
    ExpectSameAsModel(4000, 4, {{3000, 1000, 1}, {3000, 1000, 4}, {2000, 1000, 1}, {1000, 2500, 2},
                                {0, 1000, 1}, {0, 4000, 3}});
}

TEST(WaveOrder, ChannelsAndFramesOutsideTheSound) {
    ExpectSameAsModel(100, 2, {{0, 50, 0}, {0, 50, 3}, {90, 50, 1}, {-30, 40, 2}, {-5, 3, 1},
                               {100, 5, 1}, {INT32_MAX - 2, 8, 2}, {20, 0, 1}, {30, -4, 2}});
}

TEST(WaveOrder, RunsWiderThanTheMemoryTheWriterKeeps) {
    // 65,535 channels: one frame is 131,070 bytes, so a run of 200 frames is 26 MB.
    ExpectSameAsModel(200, 65535, {{0, 200, 1}, {0, 200, 65535}, {50, 100, 2}, {150, 8192, 40000},
                                   {0, 30, 1}});
}

TEST(WaveOrder, RandomOrdersMatchTheModel) {
    std::mt19937 random(20261209);
    for (int round = 0; round < 60; ++round) {
        // Up to 18 channels: frames of 2 to 16 are placed 32 at a time where the processor allows,
        // wider ones one sample at a time.
        const auto channels = static_cast<std::uint16_t>(1 + random() % 18);
        const auto frameCount = static_cast<std::int32_t>(random() % 3000);
        std::vector<FrameRun> runs;
        const int count = static_cast<int>(random() % 30);
        for (int i = 0; i < count; ++i) {
            const auto first = static_cast<std::int32_t>(random() % 3400) - 200;
            const auto frames = static_cast<std::int32_t>(random() % 900);
            const auto channel = static_cast<std::uint16_t>(random() % (channels + 2));
            runs.push_back({first, frames, channel, random() % 5 == 0});
        }
        SCOPED_TRACE("round " + std::to_string(round));
        ExpectSameAsModel(frameCount, channels, runs);
    }
}
