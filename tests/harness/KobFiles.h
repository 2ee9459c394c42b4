// KOB test files and the WAVE bytes they must restore to.
#pragma once

#include "tools/kobenc/KobEncoder.h"
#include "tools/kobenc/KobSerialiser.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kobtest {

using Bytes = std::vector<std::uint8_t>;

// A recording of music-like audio.
kobenc::Recording Music(const std::string& storedName, std::uint16_t channels, std::uint32_t frames,
                        std::uint32_t seed = 1);

// The 44-byte header and the interleaved little-endian samples of a 16-bit PCM WAVE file.
Bytes ExpectedWave(std::uint16_t channels, std::uint32_t sampleRate, const std::vector<std::int16_t>& samples);
// The same with the given frames of one channel (or of every channel when channel is 0) silenced.
std::vector<std::int16_t> Silenced(std::vector<std::int16_t> samples, std::uint16_t channels,
                                   std::uint32_t firstFrame, std::uint32_t endFrame, std::uint16_t channel);

// Writes the serialised file and returns its path.
std::string WriteKob(const std::string& path, const kobenc::KobFile& file);

} // namespace kobtest
