#include "stream/ErrorCode.h"
#include "stream/LWaveFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

using testsupport::Bytes;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileText;

namespace {

constexpr std::int32_t kWFmt = 0x57466D74;

// A WAVE file with its header written, ready for samples.
std::unique_ptr<LWaveFile> OpenWave(const std::string& path, std::int32_t frames,
                                    std::uint16_t channels, std::uint16_t bytesPerSample = 2,
                                    std::int32_t rate = 44100) {
    auto wave = std::make_unique<LWaveFile>(MakeFileSpec(path));
    wave->CreateAudioFile(0x74657374, wave->GetFileType());
    wave->SetFormat(frames, channels, bytesPerSample, rate);
    return wave;
}

// Big-endian samples as the decoder delivers them.
Bytes BigEndian(const std::vector<std::int16_t>& samples) {
    Bytes bytes;
    for (std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        bytes.push_back(static_cast<std::uint8_t>(u >> 8));
        bytes.push_back(static_cast<std::uint8_t>(u));
    }
    return bytes;
}

// The samples of a file's data part, little-endian, in file order.
std::vector<std::int16_t> DataSamples(const Bytes& file) {
    std::vector<std::int16_t> samples;
    for (std::size_t i = 44; i + 1 < file.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(file[i] | file[i + 1] << 8));
    return samples;
}

std::int32_t ThrownCode(const std::function<void()>& f) {
    try {
        f();
    } catch (ErrorCode code) {
        return code;
    }
    return 0;
}

} // namespace

TEST(WaveFile, HeaderDescribesTheFormat) {
    TempDir dir;
    const std::string path = dir.File("a.wav");
    // Creation never opens a file that is there already: it fails, and the file stays whole.
    WriteFileText(path, std::string(100, 'x'));
    {
        LWaveFile taken(MakeFileSpec(path));
        EXPECT_EQ(ThrownCode([&] { taken.CreateAudioFile(0, taken.GetFileType()); }), EEXIST);
    }
    EXPECT_EQ(ReadFileBytes(path).size(), 100u);
    std::remove(path.c_str());
    {
        auto wave = OpenWave(path, 1000, 2);
        EXPECT_EQ(wave->GetFileType(), 0x57617665u);
        EXPECT_NE(wave->GetDataFork(), nullptr);
        const std::uint8_t trailer[] = {1, 2, 3};
        wave->WriteTrailingData(0x12345678, trailer);
    }
    const Bytes expected = {
        'R', 'I', 'F', 'F', 0xC4, 0x0F, 0, 0,  // 4036
        'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
        16, 0, 0, 0, 1, 0, 2, 0,               // PCM, 2 channels
        0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0,    // 44100, 176400 bytes a second
        4, 0, 16, 0, 'd', 'a', 't', 'a',       // 4 bytes a frame, 16 bits
        0xA0, 0x0F, 0, 0};                     // 4000
    EXPECT_EQ(ReadFileBytes(path), expected) << "the header only, trailing data ignored";
}

TEST(WaveFile, ChannelsAreInterleavedLowByteFirst) {
    TempDir dir;
    const std::string path = dir.File("two.wav");
    {
        auto wave = OpenWave(path, 200, 2);
        wave->WriteSamples(0, 3, 1, BigEndian({0x1234, -2, 3}).data());
        // Channel 1 alone: the run written whole, channel 2 zero.
        wave->WriteHeldFrames();
        wave->SetMarker(0, 0); // flushes the runtime's buffer
        const Bytes file = ReadFileBytes(path);
        ASSERT_EQ(file.size(), 56u);
        EXPECT_EQ(Bytes(file.begin() + 44, file.end()),
                  (Bytes{0x34, 0x12, 0, 0, 0xFE, 0xFF, 0, 0, 3, 0, 0, 0}));
        wave->WriteSamples(0, 3, 2, BigEndian({7, 8, -32768}).data());
        // A run starting at frame 100 lands at 44 + 100 x 4.
        wave->WriteSamples(100, 1, 2, BigEndian({0x5678}).data());
    }
    const Bytes file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), 448u);
    EXPECT_EQ(DataSamples(Bytes(file.begin(), file.begin() + 56)),
              (std::vector<std::int16_t>{0x1234, 7, -2, 8, 3, -32768}));
    EXPECT_EQ(file[446], 0x78);
    EXPECT_EQ(file[447], 0x56);
    EXPECT_EQ(file[444], 0) << "frame 100's channel 1 was never in the file";
}

TEST(WaveFile, SixChannelsPatchedOneAfterAnother) {
    TempDir dir;
    const std::string path = dir.File("six.wav");
    {
        auto wave = OpenWave(path, 4, 6);
        for (std::uint16_t c = 1; c <= 6; ++c) {
            std::vector<std::int16_t> run;
            for (int k = 0; k < 4; ++k) run.push_back(static_cast<std::int16_t>(c * 100 + k));
            wave->WriteSamples(0, 4, c, BigEndian(run).data());
        }
        // One channel rewritten later changes only its own samples.
        wave->WriteSamples(2, 2, 4, BigEndian({-1, -2}).data());
    }
    std::vector<std::int16_t> expected;
    for (int k = 0; k < 4; ++k)
        for (int c = 1; c <= 6; ++c)
            expected.push_back(static_cast<std::int16_t>(c * 100 + k));
    expected[2 * 6 + 3] = -1;
    expected[3 * 6 + 3] = -2;
    EXPECT_EQ(DataSamples(ReadFileBytes(path)), expected);
}

TEST(WaveFile, OneChannelRunsAndFramesMissingFromTheFile) {
    TempDir dir;
    const std::string mono = dir.File("mono.wav");
    {
        auto wave = OpenWave(mono, 6, 1);
        wave->WriteSamples(2, 2, 1, BigEndian({5, 6}).data());
        wave->WriteSamples(0, 2, 1, BigEndian({3, 4}).data());
    }
    EXPECT_EQ(DataSamples(ReadFileBytes(mono)), (std::vector<std::int16_t>{3, 4, 5, 6}));

    // A later channel before its channel 1: what the file does not hold yet reads as zero.
    const std::string second = dir.File("second.wav");
    {
        auto wave = OpenWave(second, 4, 2);
        wave->WriteSamples(0, 2, 1, BigEndian({1, 2}).data());
        wave->WriteSamples(0, 4, 2, BigEndian({11, 12, 13, 14}).data());
    }
    EXPECT_EQ(DataSamples(ReadFileBytes(second)),
              (std::vector<std::int16_t>{1, 11, 2, 12, 0, 13, 0, 14}));
}

TEST(WaveFile, OtherSampleSizesAreRefusedWithoutWriting) {
    TempDir dir;
    const std::string path = dir.File("bytes.wav");
    {
        auto wave = OpenWave(path, 10, 1, 1, 8000);
        EXPECT_EQ(ThrownCode([&] { wave->WriteSamples(0, 2, 1, BigEndian({1, 2}).data()); }), kWFmt);
    }
    Bytes file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), 44u);
    EXPECT_EQ(file[32], 1);
    EXPECT_EQ(file[34], 8);
    EXPECT_EQ(file[28], 0x40); // 8000 bytes a second
    EXPECT_EQ(file[29], 0x1F);

    // No sample size at all: refused before anything divides by the frame size.
    const std::string zero = dir.File("zero.wav");
    {
        auto wave = OpenWave(zero, 10, 2, 0);
        EXPECT_EQ(ThrownCode([&] { wave->WriteSamples(0, 2, 2, BigEndian({1, 2}).data()); }), kWFmt);
    }
    EXPECT_EQ(ReadFileBytes(zero).size(), 44u);

    // A writer whose format was never set refuses samples as well.
    LWaveFile unset(MakeFileSpec(dir.File("unset.wav")));
    unset.CreateAudioFile(0, unset.GetFileType());
    EXPECT_EQ(ThrownCode([&] { unset.WriteSamples(0, 1, 1, BigEndian({1}).data()); }), kWFmt);
}

TEST(WaveFile, NothingIsWrittenOutsideTheSound) {
    TempDir dir;
    const std::string path = dir.File("bounds.wav");
    {
        auto wave = OpenWave(path, 4, 2);
        const Bytes run = BigEndian({1, 2, 3, 4, 5, 6});
        wave->WriteSamples(0, 1, 0, run.data()); // channel 0
        wave->WriteSamples(0, 1, 3, run.data()); // beyond the channel count
        wave->WriteSamples(4, 2, 1, run.data()); // at the frame count
        wave->WriteSamples(-6, 2, 1, run.data()); // wholly before frame 0
        wave->WriteSamples(0, 0, 1, run.data());
        wave->WriteSamples(0, -3, 1, run.data());
        wave->SetMarker(0, 0);
        EXPECT_EQ(ReadFileBytes(path).size(), 44u);
        // Straddling either end: only the frames of the sound, each at its own place.
        wave->WriteSamples(-1, 3, 1, run.data());
        wave->WriteSamples(2, 6, 2, run.data());
        wave->WriteSamples(INT32_MAX, 2, 2, run.data());
    }
    EXPECT_EQ(DataSamples(ReadFileBytes(path)),
              (std::vector<std::int16_t>{2, 0, 3, 0, 0, 1, 0, 2}));

    // A sound without channels has no channel to write.
    const std::string none = dir.File("none.wav");
    {
        auto wave = OpenWave(none, 4, 0);
        wave->WriteSamples(0, 1, 1, BigEndian({1}).data());
    }
    EXPECT_EQ(ReadFileBytes(none).size(), 44u);
}

TEST(WaveFile, SoundsPastTwoGigabytesAreRefusedBeforeTheHeader) {
    TempDir dir;
    struct Case {
        std::int32_t frames;
        std::uint16_t channels;
        std::uint16_t bytesPerSample;
    };
    // 2 x 1073741802 + 44 is 2^31; the last two wrap to small sizes in 32 bits.
    for (const Case& c : {Case{1073741802, 1, 2}, Case{-1, 2, 2}, Case{1, 65535, 65535},
                          Case{536870912, 4, 2}}) {
        const std::string path = dir.File("big.wav");
        std::remove(path.c_str());
        LWaveFile wave(MakeFileSpec(path));
        wave.CreateAudioFile(0, wave.GetFileType());
        EXPECT_EQ(ThrownCode([&] { wave.SetFormat(c.frames, c.channels, c.bytesPerSample, 44100); }),
                  kWFmt)
            << c.frames << " frames of " << c.channels << " x " << c.bytesPerSample;
        EXPECT_EQ(ThrownCode([&] { wave.WriteSamples(0, 1, 1, BigEndian({1}).data()); }), kWFmt);
        wave.CloseDataFork();
        EXPECT_EQ(ReadFileBytes(path).size(), 0u) << "nothing written";
    }

    // The largest sound that fits: its last frame lands at the very end of the 32-bit range.
    const std::string path = dir.File("largest.wav");
    {
        auto wave = OpenWave(path, 1073741801, 1);
        wave->WriteSamples(1073741800, 2, 1, BigEndian({0x0102, 0x0304}).data());
    }
    std::ifstream in(path, std::ios::binary);
    Bytes header(44);
    in.read(reinterpret_cast<char*>(header.data()), 44);
    EXPECT_EQ(header[40] | header[41] << 8 | header[42] << 16 | header[43] << 24, 2147483602);
    char last[3] = {};
    in.seekg(2147483644);
    in.read(last, 3);
    EXPECT_EQ(in.gcount(), 2) << "the file ends behind the last frame";
    EXPECT_EQ(last[0], 0x02);
    EXPECT_EQ(last[1], 0x01);
}

// Frames already in file order, in one piece or two (a ring that wraps): every frame lands, an
// empty first piece included, and held frames go out first.
TEST(WaveFile, FramesInTwoPiecesLandWhole) {
    TempDir dir;
    const std::string path = dir.File("pieces.wav");
    const Bytes a{1, 0, 2, 0}, b{3, 0, 4, 0, 5, 0, 6, 0};
    {
        auto wave = OpenWave(path, 8, 1);
        wave->WriteSamples(7, 1, 1, BigEndian({9}).data());
        wave->WriteFrames(0, a.data(), 2, b.data(), 4);
        wave->WriteFrames(6, nullptr, 0, a.data(), 1);
    }
    EXPECT_EQ(DataSamples(ReadFileBytes(path)), (std::vector<std::int16_t>{1, 2, 3, 4, 5, 6, 1, 9}));
}
