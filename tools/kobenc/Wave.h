// Reads and writes 16-bit PCM RIFF WAVE files: the inputs of kobpack and the reference audio of
// the tests.
//
//     WaveAudio audio = ReadWave("/usr/share/sounds/alsa/Front_Center.wav");
//     WriteWave(path, audio);
//
// The reader walks the RIFF chunks, takes the first "fmt " and the first "data" chunk and skips
// every other chunk (with its pad byte when its size is odd). It accepts format tag 1, and the
// extensible tag 0xFFFE with a PCM sub-format, at 16 bits per sample. A data chunk that claims
// more bytes than the file holds is taken as far as the file goes, in whole frames (writers that
// stream leave the size unset). Anything else it refuses with std::runtime_error naming the
// problem. The writer writes the plain 44-byte form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kobenc {

struct WaveAudio {
    std::uint32_t sampleRate = 44100;  // frames per second
    std::uint16_t channelCount = 1;
    std::vector<std::int16_t> samples; // interleaved frames, channel 1 first

    std::size_t FrameCount() const { return channelCount == 0 ? 0 : samples.size() / channelCount; }
};

WaveAudio ParseWave(const std::vector<std::uint8_t>& bytes);
WaveAudio ReadWave(const std::string& path);
std::vector<std::uint8_t> WaveBytes(const WaveAudio& audio);
void WriteWave(const std::string& path, const WaveAudio& audio);

} // namespace kobenc
