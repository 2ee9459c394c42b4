#include "decode/Checksum16.h"

std::uint16_t Checksum16(const void* data, std::int32_t length) {
    const auto* bytes = static_cast<const std::int8_t*>(data);
    std::uint16_t state = 0xFDED;
    for (std::int32_t i = 0; i < length; ++i) {
        // WATCHOUT: the byte is sign-extended before it is mixed in, so a byte of 0x80 or more
        // also inverts the state's high byte. Zero extension gives wrong values.
        state = static_cast<std::uint16_t>(state ^ static_cast<std::uint16_t>(static_cast<std::int16_t>(bytes[i])));
        if (state & 1u)
            state = static_cast<std::uint16_t>((state >> 1) ^ 0xB400u);
        else
            state = static_cast<std::uint16_t>(state >> 1);
    }
    return state;
}
