// Big-endian stores and four-character codes, the way every number in a KOB file is written.
//
//     PutBE32(header + 292, sampleRate);
//     std::uint32_t creator = FourCC("kobp");
#pragma once

#include <cstdint>

namespace kobenc {

inline void PutBE16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

inline void PutBE32(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

// The number whose four bytes, most significant first, spell the four characters.
constexpr std::uint32_t FourCC(const char (&code)[5]) {
    return (static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[2])) << 8) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[3]));
}

} // namespace kobenc
