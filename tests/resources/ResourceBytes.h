// Reading the program's registered resources back in the tests: the bytes of a resource found
// through the platform's lookups, and little-endian fields inside them.
#pragma once

#include "platform/resources/Resources.h"
#include "platform/runtime/ByteOrder.h"

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

// Past the end throws, as at() does.
inline unsigned U16(const Bytes& b, std::size_t at) {
    (void)b.at(at + 1);
    return byteorder::LE16(b.data() + at);
}
inline std::uint32_t U32(const Bytes& b, std::size_t at) {
    (void)b.at(at + 3);
    return byteorder::LE32(b.data() + at);
}
inline std::int32_t S32(const Bytes& b, std::size_t at) {
    return static_cast<std::int32_t>(U32(b, at));
}

} // namespace resourcetest
