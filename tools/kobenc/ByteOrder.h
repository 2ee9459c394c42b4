// Big-endian stores (the platform's) and four-character codes, the way every number in a KOB file is written.
//
//     PutBE32(header + 292, sampleRate);
//     std::uint32_t creator = FourCC("kobp");
#pragma once

#include "platform/runtime/ByteOrder.h"

#include <cstdint>

namespace kobenc {

using byteorder::PutBE16;
using byteorder::PutBE32;

// The number whose four bytes, most significant first, spell the four characters.
constexpr std::uint32_t FourCC(const char (&code)[5]) {
    return (static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[2])) << 8) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[3]));
}

} // namespace kobenc
