// DecodeBlock: rebuilds the 16-bit samples of one KOB block from its packed data.
//
//     DecodeBlock(packed, samples, blockHeader);
//
// The header's mode (byte 5) picks one of five fixed predictors; P (bytes 16-17) is the packed
// byte count and N (bytes 18-19) the output byte count, both big-endian. The block's N / 2
// samples are written big-endian to output bytes 0 to 2 * (N / 2) - 1, and no other output byte
// is touched. A mode other than 1 to 5 decodes nothing and leaves the output as it was.
//
// The decoder validates nothing and reports nothing: the caller learns whether the block came out
// right only from the block's data checksum, which it computes over the N output bytes itself.
//
// WATCHOUT: when P is greater than 0, the bits are read from P + 1 bytes: the packed data and the
// byte that follows it in the caller's buffer, which must be readable. When P is 0 packed is not
// used and may be null. The caller also guarantees N writable output bytes; N and P are not
// compared with any buffer size here.
#pragma once

#include "decode/DecodeWay.h"

#include <cstdint>

void DecodeBlock(const std::uint8_t* packed, std::uint8_t* output, const std::uint8_t* header,
                 DecodeWay way = DecodeWay::kFastest);

// The same for packed data that stays where it was read (a view of the file, say), with no byte
// of the caller's behind it: exactly P bytes are read, and the block decodes as DecodeBlock
// decodes it with a zero byte behind.
void DecodeBlockInPlace(const std::uint8_t* packed, std::uint8_t* output, const std::uint8_t* header,
                        DecodeWay way = DecodeWay::kFastest);

// A block as DecodeBlock takes it, or as DecodeBlockInPlace does when inPlace is set.
struct PackedBlock {
    const std::uint8_t* packed;
    std::uint8_t* output;
    const std::uint8_t* header;
    bool inPlace = false;
};

// The same for a block given whole, in place or not.
void DecodeBlock(const PackedBlock& block, DecodeWay way = DecodeWay::kFastest);

// Two blocks, each exactly as DecodeBlock (or DecodeBlockInPlace) decodes it alone, in less time
// than the two calls take: a block's packed bits are read a group at a time, each group waiting
// for the one before to say where it starts, and the other block's groups fill those waits. The
// two outputs must not overlap.
void DecodeTwoBlocks(const PackedBlock& first, const PackedBlock& second, DecodeWay way = DecodeWay::kFastest);

// Whether DecodeBlock decodes a block of this mode, writing every whole sample of its output.
constexpr bool DecodesMode(std::uint8_t mode) { return mode >= 1 && mode <= 5; }
