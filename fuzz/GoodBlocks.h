// The samples that blocks which pass every check hold, as an oracle for --rescue: whatever a
// rescue writes that is not silence must be a sample one of these blocks holds, at its frame and
// channel.
//
//     const GoodBlocks good(file);              // every position of the file looked at
//     good.Holds(channel, frame, value);        // some good block puts value there
//     fuzzcheck::CheckWaveFromGoodBlocks(path, good);
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class GoodBlocks {
public:
    explicit GoodBlocks(const std::vector<std::uint8_t>& file);

    bool Holds(std::uint32_t channel, std::uint32_t frame, std::int16_t value) const;
    // The furthest frame end and the highest channel of any good block: what the recordings a
    // rescue makes of them can be at least.
    std::uint64_t FurthestEnd() const { return mFurthest; }
    std::uint32_t HighestChannel() const { return mHighest; }

private:
    struct Block {
        std::uint32_t startFrame;
        std::vector<std::int16_t> samples;
    };
    std::map<std::uint32_t, std::vector<Block>> mByChannel;
    std::uint64_t mFurthest = 0;
    std::uint32_t mHighest = 0;
};

namespace fuzzcheck {
// Every sample of the WAVE file at `path` that is not 0 is one some good block holds there.
void CheckWaveFromGoodBlocks(const std::string& path, const GoodBlocks& good);
} // namespace fuzzcheck
