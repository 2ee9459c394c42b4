// A deterministic stand-in for recorded music: a few voices of harmonic tones with vibrato and
// note envelopes over a soft noise floor, different in each channel. It compresses like real
// audio (neither silence nor a pure tone), so benchmarks and sample files built from it measure
// something meaningful, and it needs no sound file from outside the repository.
#pragma once

#include <cstdint>
#include <vector>

namespace kobenc {

// Interleaved 16-bit frames; the same arguments always give the same samples.
std::vector<std::int16_t> SyntheticMusic(std::uint32_t frames, std::uint16_t channels,
                                         std::uint32_t sampleRate, std::uint32_t seed = 1);

} // namespace kobenc
