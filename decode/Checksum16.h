// Checksum16: the 16-bit check value that guards every KOB entry header, block header and
// block of decoded samples.
//
// It is a shift register that takes one step per byte, seeded with 0xFDED. It is not a
// table-driven CRC, and a standard CRC-16 routine gives different values.
//
//     std::uint16_t check = Checksum16(bytes, count);
//
// A count of 0 or less reads nothing and gives the seed, 0xFDED. Both ways give the same value;
// the wide way takes 64 bytes at a time.
#pragma once

#include "decode/DecodeWay.h"

#include <cstdint>

std::uint16_t Checksum16(const void* data, std::int32_t length, DecodeWay way = DecodeWay::kFastest);
