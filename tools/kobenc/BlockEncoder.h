// Turns one channel's run of consecutive frames into KOB blocks.
//
//     BlockOptions options;               // smallest mode, smallest widths
//     options.forcedMode = 3;             // or one mode for every block
//     BlockModel block = EncodeBlock(2, 4096, samples, options);      // channel 2, frame 4096
//     std::vector<BlockModel> blocks = EncodeRun(1, 0, samples, options);
//
// EncodeBlock makes exactly one block and refuses more than 8192 samples; its packed data may
// still exceed what a reader accepts. EncodeRun splits a run in halves until every block packs
// into 16384 bytes, keeping the blocks in frame order.
#pragma once

#include "tools/kobenc/KobModel.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kobenc {

struct BlockOptions {
    std::optional<int> forcedMode;  // 1 to 5; default: the mode that packs smallest
    std::optional<int> forcedWidth; // 2 to 17 for every group; default: the narrowest per group
};

// Packed size in bytes of samples under one mode (the smallest grouping, or the forced width).
std::size_t PackedSize(int mode, const std::vector<std::int16_t>& samples, const BlockOptions& options);

// The mode that packs smallest; ties go to the simpler predictor (2, 3, 4, 5, then 1).
int SmallestMode(const std::vector<std::int16_t>& samples, const BlockOptions& options);

// Throws std::invalid_argument for more than 8192 samples, a channel of 0, a bad forced mode or
// a forced width that a residual does not fit.
BlockModel EncodeBlock(std::uint8_t channel, std::uint32_t startFrame,
                       const std::vector<std::int16_t>& samples, const BlockOptions& options);

std::vector<BlockModel> EncodeRun(std::uint8_t channel, std::uint32_t startFrame,
                                  const std::vector<std::int16_t>& samples, const BlockOptions& options);

// Checksum16 of samples written big-endian: the value a block's dataChecksum holds.
std::uint16_t SampleChecksum(const std::vector<std::int16_t>& samples);

} // namespace kobenc
