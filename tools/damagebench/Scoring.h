// Scoring of one restoration: how many of the samples that the damage left intact came back
// bit-exact, and how many samples came back wrong.
//
//     Score score = ScoreOutputs(originals, intact, folder);
//
// Every WAVE file in the folder is matched with the original recording it restores most of
// (same channel count, most equal non-zero samples at the same places). A sample of an original
// counts as restored when some output holds its value at its frame and channel and, for a zero
// value, the output's listing does not mark the place silent. A sample is wrong when an output
// holds neither its original value nor silence (0) there, or holds anything but silence where its
// original has no sample (past its end, or an output matching no original).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace damagebench {

struct Original {
    std::uint16_t channels = 1;
    std::vector<std::int16_t> samples;   // interleaved
    std::size_t Frames() const { return samples.size() / channels; }
};

// Per original, per sample (interleaved): whether the damage left the bytes it comes from alone.
using IntactMap = std::vector<std::vector<bool>>;

struct Score {
    std::uint64_t intact = 0;     // intact samples that are not zero
    std::uint64_t restored = 0;   // of those, restored bit-exact
    std::uint64_t wrong = 0;      // output samples that are neither right nor silence
    // Output samples silenced where the original is not silent, that no listing line covers.
    std::uint64_t unlisted = 0;
};

Score ScoreOutputs(const std::vector<Original>& originals, const IntactMap& intact, const std::string& folder);

} // namespace damagebench
