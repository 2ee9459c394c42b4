// Numbers stored in bytes, either byte order: little-endian as in WAVE files, icons and the
// platform's resources; big-endian as in KOB files. The program, its tools and its tests all read
// and write them through these.
//
//     const std::uint32_t rate = byteorder::LE32(header + 24);
//     byteorder::PutBE16(block + 20, checksum);
//     byteorder::AppendLE32(wave, dataBytes);
#pragma once

#include <cstdint>
#include <vector>

namespace byteorder {

constexpr std::uint16_t LE16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}
constexpr std::uint32_t LE32(const std::uint8_t* at) {
    return std::uint32_t{LE16(at)} | (std::uint32_t{LE16(at + 2)} << 16);
}
constexpr std::uint16_t BE16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}
constexpr std::uint32_t BE32(const std::uint8_t* at) {
    return (std::uint32_t{BE16(at)} << 16) | BE16(at + 2);
}

constexpr void PutLE16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}
constexpr void PutLE32(std::uint8_t* at, std::uint32_t value) {
    PutLE16(at, static_cast<std::uint16_t>(value));
    PutLE16(at + 2, static_cast<std::uint16_t>(value >> 16));
}
constexpr void PutBE16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}
constexpr void PutBE32(std::uint8_t* at, std::uint32_t value) {
    PutBE16(at, static_cast<std::uint16_t>(value >> 16));
    PutBE16(at + 2, static_cast<std::uint16_t>(value));
}

// The same at the end of a growing buffer.
inline void AppendLE16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.resize(out.size() + 2);
    PutLE16(out.data() + out.size() - 2, value);
}
inline void AppendLE32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.resize(out.size() + 4);
    PutLE32(out.data() + out.size() - 4, value);
}

} // namespace byteorder
