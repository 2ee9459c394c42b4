// The WAVE reader and writer.
#include "tests/support/TempDir.h"
#include "tools/kobenc/Wave.h"

#include <gtest/gtest.h>

using namespace kobenc;

namespace {

using Bytes = std::vector<std::uint8_t>;

void LE(Bytes& b, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Tag(Bytes& b, const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(t[i]));
}

Bytes Fmt(std::uint16_t tag, std::uint16_t channels, std::uint16_t bits, bool extensible = false) {
    Bytes b;
    Tag(b, "fmt ");
    LE(b, extensible ? 40 : 16, 4);
    LE(b, extensible ? 0xFFFE : tag, 2);
    LE(b, channels, 2);
    LE(b, 8000, 4);
    LE(b, 8000u * channels * bits / 8, 4);
    LE(b, static_cast<std::uint32_t>(channels * bits / 8), 2);
    LE(b, bits, 2);
    if (extensible) {
        LE(b, 22, 2);
        LE(b, bits, 2);
        LE(b, 0, 4);
        LE(b, tag, 2); // sub-format GUID, first two bytes
        b.insert(b.end(), 14, 0x5A);
    }
    return b;
}

Bytes Riff(const Bytes& chunks) {
    Bytes b;
    Tag(b, "RIFF");
    LE(b, static_cast<std::uint32_t>(4 + chunks.size()), 4);
    Tag(b, "WAVE");
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}

Bytes Data(const std::vector<std::int16_t>& samples, std::uint32_t claimed = 0) {
    Bytes b;
    Tag(b, "data");
    LE(b, claimed ? claimed : static_cast<std::uint32_t>(samples.size() * 2), 4);
    for (std::int16_t s : samples) LE(b, static_cast<std::uint16_t>(s), 2);
    return b;
}

} // namespace

TEST(Wave, WrittenFilesReadBack) {
    testsupport::TempDir dir;
    WaveAudio audio;
    audio.sampleRate = 48000;
    audio.channelCount = 6;
    for (int i = 0; i < 600; ++i) audio.samples.push_back(static_cast<std::int16_t>(i * 109 - 32768));
    WriteWave(dir.File("six.wav"), audio);
    const WaveAudio back = ReadWave(dir.File("six.wav"));
    EXPECT_EQ(back.sampleRate, 48000u);
    EXPECT_EQ(back.channelCount, 6);
    EXPECT_EQ(back.samples, audio.samples);
    EXPECT_EQ(back.FrameCount(), 100u);
    EXPECT_EQ(WaveBytes(audio).size(), 44u + 1200u);
    EXPECT_THROW(ReadWave(dir.File("missing.wav")), std::runtime_error);
}

TEST(Wave, OtherChunksAreSkippedWithTheirPadByte) {
    Bytes chunks;
    Tag(chunks, "LIST");
    LE(chunks, 3, 4);
    chunks.insert(chunks.end(), {'a', 'b', 'c', 0}); // odd size, then the pad byte
    const Bytes fmt = Fmt(1, 2, 16);
    chunks.insert(chunks.end(), fmt.begin(), fmt.end());
    Tag(chunks, "fact");
    LE(chunks, 4, 4);
    LE(chunks, 2, 4);
    const Bytes data = Data({1, -1, 2, -2});
    chunks.insert(chunks.end(), data.begin(), data.end());
    const WaveAudio audio = ParseWave(Riff(chunks));
    EXPECT_EQ(audio.channelCount, 2);
    EXPECT_EQ(audio.samples, (std::vector<std::int16_t>{1, -1, 2, -2}));

    Bytes extensible = Fmt(1, 1, 16, true);
    const Bytes mono = Data({7, 8, 9});
    extensible.insert(extensible.end(), mono.begin(), mono.end());
    EXPECT_EQ(ParseWave(Riff(extensible)).samples, (std::vector<std::int16_t>{7, 8, 9}));
}

TEST(Wave, DataChunkLongerThanTheFileIsCutToWholeFrames) {
    Bytes chunks = Fmt(1, 2, 16);
    const Bytes data = Data({1, 2, 3, 4, 5}, 0xFFFFFFFFu); // two and a half frames present
    chunks.insert(chunks.end(), data.begin(), data.end());
    EXPECT_EQ(ParseWave(Riff(chunks)).samples, (std::vector<std::int16_t>{1, 2, 3, 4}));
}

TEST(Wave, RefusesWhatItCannotRead) {
    auto with = [](Bytes fmt, bool data = true) {
        if (data) {
            const Bytes d = Data({1, 2});
            fmt.insert(fmt.end(), d.begin(), d.end());
        }
        return Riff(fmt);
    };
    EXPECT_THROW(ParseWave(with(Fmt(1, 1, 8))), std::runtime_error);
    EXPECT_THROW(ParseWave(with(Fmt(3, 1, 16))), std::runtime_error) << "floating point";
    EXPECT_THROW(ParseWave(with(Fmt(3, 1, 16, true))), std::runtime_error);
    EXPECT_THROW(ParseWave(with(Fmt(1, 0, 16))), std::runtime_error);
    EXPECT_THROW(ParseWave(with(Fmt(1, 1, 16), false)), std::runtime_error) << "no data chunk";
    EXPECT_THROW(ParseWave(Riff(Data({1}))), std::runtime_error) << "data before fmt";
    Bytes notRiff = with(Fmt(1, 1, 16));
    notRiff[0] = 'X';
    EXPECT_THROW(ParseWave(notRiff), std::runtime_error);
    EXPECT_THROW(ParseWave(Bytes(11, 0)), std::runtime_error);
}
