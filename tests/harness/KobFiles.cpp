#include "tests/harness/KobFiles.h"

#include "platform/runtime/ByteOrder.h"
#include "tools/kobenc/SyntheticMusic.h"

namespace kobtest {

kobenc::Recording Music(const std::string& storedName, std::uint16_t channels, std::uint32_t frames,
                        std::uint32_t seed) {
    kobenc::Recording recording;
    recording.storedName = storedName;
    recording.channelCount = channels;
    recording.sampleRate = 44100;
    recording.samples = kobenc::SyntheticMusic(frames, channels, 44100, seed);
    return recording;
}

namespace {
void Put16(Bytes& out, std::uint32_t v) {
    byteorder::AppendLE16(out, static_cast<std::uint16_t>(v));
}
void PutText(Bytes& out, const char* four) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(four[i]));
}
} // namespace

Bytes ExpectedWave(std::uint16_t channels, std::uint32_t sampleRate, const std::vector<std::int16_t>& samples) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    Bytes out;
    PutText(out, "RIFF");
    byteorder::AppendLE32(out, dataBytes + 36);
    PutText(out, "WAVE");
    PutText(out, "fmt ");
    byteorder::AppendLE32(out, 16);
    Put16(out, 1);
    Put16(out, channels);
    byteorder::AppendLE32(out, sampleRate);
    byteorder::AppendLE32(out, sampleRate * channels * 2u);
    Put16(out, channels * 2u);
    Put16(out, 16);
    PutText(out, "data");
    byteorder::AppendLE32(out, dataBytes);
    for (std::int16_t s : samples) Put16(out, static_cast<std::uint16_t>(s));
    return out;
}

std::vector<std::int16_t> Silenced(std::vector<std::int16_t> samples, std::uint16_t channels,
                                   std::uint32_t firstFrame, std::uint32_t endFrame, std::uint16_t channel) {
    for (std::uint32_t f = firstFrame; f < endFrame && std::size_t{f} * channels < samples.size(); ++f)
        for (std::uint16_t c = 1; c <= channels; ++c)
            if (channel == 0 || c == channel) samples[std::size_t{f} * channels + c - 1] = 0;
    return samples;
}

std::string WriteKob(const std::string& path, const kobenc::KobFile& file) {
    kobenc::WriteBytes(path, kobenc::Serialise(file).bytes);
    return path;
}

} // namespace kobtest
