#include "tools/kobenc/BlockEncoder.h"

#include "decode/Checksum16.h"
#include "tools/kobenc/ByteOrder.h"
#include "tools/kobenc/GroupPacker.h"
#include "tools/kobenc/Predictor.h"

#include <stdexcept>
#include <string>

namespace kobenc {

namespace {

PackPlan Plan(const std::vector<std::int32_t>& residuals, const BlockOptions& options) {
    return options.forcedWidth ? PlanFixedWidth(residuals, *options.forcedWidth) : PlanGroups(residuals);
}

std::vector<std::int32_t> Residuals(int mode, const std::vector<std::int16_t>& samples) {
    return PredictResiduals(mode, samples.data(), samples.size());
}

} // namespace

std::uint16_t SampleChecksum(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> bytes(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        PutBE16(&bytes[2 * i], static_cast<std::uint16_t>(samples[i]));
    }
    return Checksum16(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

std::size_t PackedSize(int mode, const std::vector<std::int16_t>& samples, const BlockOptions& options) {
    return Plan(Residuals(mode, samples), options).Bytes();
}

int SmallestMode(const std::vector<std::int16_t>& samples, const BlockOptions& options) {
    // Modes 1 and 4 restore the same samples from the same residuals, so they always tie; the
    // plain second-order form wins.
    static constexpr int kOrder[] = {2, 3, 4, 5, 1};
    int best = 0;
    std::size_t bestBits = 0;
    for (int mode : kOrder) {
        const std::size_t bits = Plan(Residuals(mode, samples), options).bits;
        if (best == 0 || bits < bestBits) {
            best = mode;
            bestBits = bits;
        }
    }
    return best;
}

BlockModel EncodeBlock(std::uint8_t channel, std::uint32_t startFrame,
                       const std::vector<std::int16_t>& samples, const BlockOptions& options) {
    if (samples.size() > kMaxBlockFrames) {
        throw std::invalid_argument("a block holds at most 8192 samples, not " + std::to_string(samples.size()));
    }
    if (channel == 0) throw std::invalid_argument("channels are counted from 1");
    const int mode = options.forcedMode ? *options.forcedMode : SmallestMode(samples, options);
    const std::vector<std::int32_t> residuals = Residuals(mode, samples);

    BlockModel block;
    block.mode = static_cast<std::uint8_t>(mode);
    block.channel = channel;
    block.startFrame = startFrame;
    block.packed = WriteGroups(residuals, Plan(residuals, options));
    // 8192 samples pack into 25,600 bytes at the very most (a one-residual group of 17 bits per
    // sample), so the length always fits its 16-bit field even before EncodeRun splits.
    block.packedLength = static_cast<std::uint16_t>(block.packed.size());
    block.unpackedLength = static_cast<std::uint16_t>(samples.size() * 2);
    block.dataChecksum = SampleChecksum(samples);
    block.samples = samples;
    return block;
}

std::vector<BlockModel> EncodeRun(std::uint8_t channel, std::uint32_t startFrame,
                                  const std::vector<std::int16_t>& samples, const BlockOptions& options) {
    std::vector<BlockModel> blocks;
    if (samples.size() <= kMaxBlockFrames) {
        BlockModel block = EncodeBlock(channel, startFrame, samples, options);
        if (block.packed.size() <= kMaxBlockBytes) {
            blocks.push_back(std::move(block));
            return blocks;
        }
    }
    // Too long or packs too large: halve. A single sample packs into 4 bytes at most, so this ends.
    const std::size_t half = samples.size() / 2;
    const std::vector<std::int16_t> first(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(half));
    const std::vector<std::int16_t> second(samples.begin() + static_cast<std::ptrdiff_t>(half), samples.end());
    blocks = EncodeRun(channel, startFrame, first, options);
    for (BlockModel& block : EncodeRun(channel, startFrame + static_cast<std::uint32_t>(half), second, options)) {
        blocks.push_back(std::move(block));
    }
    return blocks;
}

} // namespace kobenc
