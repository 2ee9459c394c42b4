#include "decode/Checksum16.h"

#include "decode/WideTarget.h"

#include <array>
#include <utility>

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

constexpr std::uint16_t kSeed = 0xFDED;
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

// The register from `state` on over `length` bytes, a round of table lookups at a time.
std::uint16_t Rounds(std::uint16_t state, const std::uint8_t* bytes, std::int32_t length) {
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

#if defined(__x86_64__)
// Sixty-four bytes at a time. Read the register as a polynomial over GF(2) whose bit k is the
// coefficient of x^(15 - k): a step multiplies it by x modulo P = x^16 + (the polynomial of
// 0xB400), and after n bytes the register is
//     x^n * seed + sum over bytes i of x^(n - i) * (byte i widened)      (mod P).
// Byte i widened has bit t of the byte at x^(15 - t), and its sign bit at x^7 down to x^0 too.
// Grouping the terms by their power of x, the bits that land on x^(n + 15 - p) are bit 0 of byte
// p, bit 1 of byte p - 1, ..., bit 7 of byte p - 7, and the sign bits of bytes p - 8 to p - 15:
// call their XOR d_p, the diagonal at position p. So
//     register = x^n * seed + sum over p of d_p * x^(n + 15 - p).
// The diagonals of 64 positions come from the chunk's bytes and the 15 before them, moved by
// byte aligns and shifted so that each wanted bit stands at bit 7, XORed together and gathered
// into one 64-bit mask. A chunk of 64 positions
// then multiplies the register by x^64 and adds its diagonals' powers, each the remainder of
// x^(79 - k) for position k of the chunk, from a table per byte of the mask.
// Positions n to n + 14 still take the sign bits (and low bits) of the last bytes: they are
// the diagonals of a chunk of zeros after the bytes, and land on x^15 to x^1, register bits 0
// to 14, as they are.
constexpr int kChunk = 64;

struct ChunkTables {
    // powers[q][v]: byte q of a chunk's diagonals holding v, as register bits; powers[0] and
    // powers[1] are also the register's low and high byte taken 64 steps on.
    std::array<std::array<std::uint16_t, 256>, 8> powers;
};

constexpr ChunkTables MakeChunkTables() {
    // x^d for d from 0 to 79: the register's top bit (x^0) taken d steps on.
    std::array<std::uint16_t, 80> power{};
    power[0] = 0x8000;
    for (std::size_t d = 1; d < power.size(); ++d) power[d] = Step(power[d - 1]);
    ChunkTables t{};
    for (int q = 0; q < 8; ++q) {
        for (int v = 0; v < 256; ++v) {
            std::uint16_t sum = 0;
            for (int b = 0; b < 8; ++b)
                if (v & (1 << b)) sum ^= power[static_cast<std::size_t>(79 - (8 * q + b))];
            t.powers[static_cast<std::size_t>(q)][static_cast<std::size_t>(v)] = sum;
        }
    }
    return t;
}

constexpr ChunkTables kChunkTables = MakeChunkTables();

// Bit t of the byte t places before each byte, brought to bit 7 by a 16-bit shift (each byte's
// bit 7 comes from its own bit t), for every t of the sequence; XORed together. `earlier` is
// `bytes` 16 places on (see Diagonals), so the bytes t places before are one byte align away.
template <int... T>
DUDEZ_WIDE inline __m512i LowBitsUp(__m512i bytes, __m512i earlier, std::integer_sequence<int, T...>) {
    return (_mm512_slli_epi16(_mm512_alignr_epi8(bytes, earlier, 16 - T), 7 - T) ^ ...);
}

// The bytes 8 + s places before each byte, for every s of the sequence, XORed: their sign bits.
template <int... S>
DUDEZ_WIDE inline __m512i SignBits(__m512i bytes, __m512i earlier, std::integer_sequence<int, S...>) {
    return (_mm512_alignr_epi8(bytes, earlier, 8 - S) ^ ...);
}

// The diagonals of the 64 positions of `bytes`, bit k for position k; `before` holds the 64 bytes
// before them (zeros before the first).
DUDEZ_WIDE inline std::uint64_t Diagonals(__m512i before, __m512i bytes) {
    // The bytes 16 places on, the last 16 of `before` coming in: each 16-byte lane of `bytes` then
    // has its 16 predecessors in the same lane of `earlier`.
    const __m512i earlier = _mm512_alignr_epi64(bytes, before, 6);
    const __m512i bits = LowBitsUp(bytes, earlier, std::make_integer_sequence<int, 8>{}) ^
                         SignBits(bytes, earlier, std::make_integer_sequence<int, 8>{});
    return _mm512_movepi8_mask(bits);
}

// The register taken over a chunk whose diagonals are `diagonals`.
inline std::uint16_t Chunk(std::uint16_t state, std::uint64_t diagonals) {
    const auto& powers = kChunkTables.powers;
    // The chunk's share depends on nothing but the bytes: the next chunk waits on two lookups.
    std::uint16_t share = 0;
#pragma GCC unroll 8
    for (int q = 0; q < 8; ++q) share ^= powers[q][(diagonals >> (8 * q)) & 0xFF];
    return static_cast<std::uint16_t>(share ^ powers[0][state & 0xFF] ^ powers[1][state >> 8]);
}

// The register from `state` on over `chunks` chunks of 64 bytes.
DUDEZ_WIDE std::uint16_t Chunks(std::uint16_t state, const std::uint8_t* bytes, std::int32_t chunks) {
    __m512i before = _mm512_setzero_si512();
    for (std::int32_t c = 0; c < chunks; ++c) {
        const __m512i chunk = _mm512_loadu_si512(bytes + std::int64_t{c} * kChunk);
        state = Chunk(state, Diagonals(before, chunk));
        before = chunk;
    }
    return static_cast<std::uint16_t>(state ^ (Diagonals(before, _mm512_setzero_si512()) & 0x7FFF));
}
#endif

} // namespace

std::uint16_t Checksum16(const void* data, std::int32_t length, DecodeWay way) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::uint16_t state = kSeed;
    if (length <= 0) return state;
#if defined(__x86_64__)
    if (way == DecodeWay::kFastest && HasWideInstructions()) {
        const std::int32_t chunks = length / kChunk;
        if (chunks > 0) state = Chunks(state, bytes, chunks);
        bytes += std::int64_t{chunks} * kChunk;
        length -= chunks * kChunk;
    }
#endif
    return Rounds(state, bytes, length);
}
