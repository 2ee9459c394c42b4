// Reading the program's registered resources back in the tests: the bytes of a resource found
// through the platform's lookups, and little-endian fields inside them.
#pragma once

#include "platform/Resources.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace resourcetest {

using Bytes = std::vector<std::uint8_t>;

// The resource's bytes in language 1031; empty when it is not found.
inline Bytes ResourceBytes(LPCSTR type, LPCSTR name) {
    HRSRC found = FindResourceExA(nullptr, type, name, 1031);
    if (!found) return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, found)));
    if (!data) return {};
    return Bytes(data, data + SizeofResource(nullptr, found));
}

inline unsigned U16(const Bytes& b, std::size_t at) {
    return b.at(at) | (b.at(at + 1) << 8);
}
inline std::uint32_t U32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(U16(b, at)) | (static_cast<std::uint32_t>(U16(b, at + 2)) << 16);
}
inline std::int32_t S32(const Bytes& b, std::size_t at) {
    return static_cast<std::int32_t>(U32(b, at));
}

} // namespace resourcetest
