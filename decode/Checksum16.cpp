#include "decode/Checksum16.h"

#include <array>

// The register, one byte at a time: XOR in the sign-extended byte, then one step, a shift right
// that XORs 0xB4 into the high byte when the bit shifted out was 1. A step is linear over GF(2)
// (it maps a XOR b to step(a) XOR step(b)), so the register after eight bytes is the XOR of
// eight steps applied to the starting state and the first byte, seven to the second byte, and
// so on down to one step to the last; the same holds for any number of bytes. Tables of those
// images take sixteen bytes per round with seventeen lookups that depend on nothing but the
// state and the bytes, and give exactly the value of the byte-at-a-time loop.
namespace {

constexpr std::uint16_t Step(std::uint16_t state) {
    return static_cast<std::uint16_t>((state & 1u) ? (state >> 1) ^ 0xB400u : state >> 1);
}

constexpr std::uint16_t Steps(std::uint16_t state, int count) {
    for (int i = 0; i < count; ++i) state = Step(state);
    return state;
}

// WATCHOUT: the byte is sign-extended before it is mixed in, so a byte of 0x80 or more also
// inverts the state's high byte. Zero extension gives wrong values.
constexpr std::uint16_t Widen(std::uint8_t byte) {
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(static_cast<std::int8_t>(byte)));
}

constexpr int kRound = 16;   // bytes per round

struct Tables {
    // kRound steps of the state's low and high byte (the first byte of the round XORed in).
    std::array<std::uint16_t, 256> low;
    std::array<std::uint16_t, 256> high;
    // later[j][b]: kRound - 1 - j steps of byte b widened, for the round's byte 1 + j.
    std::array<std::array<std::uint16_t, 256>, kRound - 1> later;
};

constexpr Tables MakeTables() {
    Tables t{};
    for (int v = 0; v < 256; ++v) {
        const auto byte = static_cast<std::uint8_t>(v);
        t.low[byte] = Steps(byte, kRound);
        t.high[byte] = Steps(static_cast<std::uint16_t>(byte << 8), kRound);
        for (int j = 0; j < kRound - 1; ++j) t.later[j][byte] = Steps(Widen(byte), kRound - 1 - j);
    }
    return t;
}

constexpr Tables kTables = MakeTables();

} // namespace

std::uint16_t Checksum16(const void* data, std::int32_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::uint16_t state = 0xFDED;
    std::int32_t i = 0;
    for (; i + kRound <= length; i += kRound) {
        // The later bytes' share depends on nothing but the bytes, so it is summed apart from the
        // state: the next round waits for two lookups and two XORs, not for seventeen.
        std::uint16_t later = 0;
#pragma GCC unroll 16
        for (int j = 1; j < kRound; ++j) later = static_cast<std::uint16_t>(later ^ kTables.later[j - 1][bytes[i + j]]);
        const auto first = static_cast<std::uint16_t>(state ^ Widen(bytes[i]));
        state = static_cast<std::uint16_t>(kTables.low[first & 0xFFu] ^ kTables.high[first >> 8] ^ later);
    }
    // The last bytes, fewer than a round, one step each.
    for (; i < length; ++i) state = Step(static_cast<std::uint16_t>(state ^ Widen(bytes[i])));
    return state;
}
