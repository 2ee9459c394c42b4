#include "decode/DecodeBlock.h"

#include <bit>
#include <cstring>

namespace {

// The predictors. Each holds its own history, all zero at the start of a block, and turns one
// residual into the next sample. A sample is the low 16 bits of its sum (wrap-around, no
// clamping). The sums are formed in unsigned 32-bit arithmetic and never cut down to 16 bits
// between samples: the low 16 bits of sums, differences and multiples depend only on the low 16
// bits of what goes in, so cutting once, at the store, gives the same samples, and each sample
// waits for one or two additions of the one before instead of for a sign extension too.

// Mode 2: the residual is the sample.
struct Verbatim {
    std::uint32_t Next(std::uint32_t v) { return v; }
};

// Mode 3: x = x1 + v.
struct FirstOrder {
    std::uint32_t x1 = 0;
    std::uint32_t Next(std::uint32_t v) { return x1 += v; }
};

// Modes 1 and 4: x = 2 * x1 - x2 + v, kept as two running sums. The difference d = x1 - x2 takes
// the residual, then the sample takes the difference. Modulo 2^16 that is exactly
// x1 + (x1 - x2) + v, so both modes give the same samples from the same packed data.
struct SecondOrder {
    std::uint32_t x1 = 0;
    std::uint32_t d = 0;
    std::uint32_t Next(std::uint32_t v) {
        d += v;
        return x1 += d;
    }
};

// Mode 5: x = 3 * (x1 - x2) - x3 + v.
// WATCHOUT: minus x3. The textbook third-order predictor adds x3 (3 * x1 - 3 * x2 + x3); the
// format's predictor subtracts it, and the data checksums only match with the minus.
struct ThirdOrder {
    std::uint32_t x1 = 0;
    std::uint32_t x2 = 0;
    std::uint32_t x3 = 0;
    std::uint32_t Next(std::uint32_t v) {
        // The same sum, grouped so that only 3 * x1 waits for the sample before.
        const std::uint32_t x = 3 * x1 + (v - 3 * x2 - x3);
        x3 = x2;
        x2 = x1;
        x1 = x;
        return x;
    }
};

// The packed bits as a window of bytes read most significant bit first, then zeros for ever.
// Bits are taken by position: a field is cut from eight bytes loaded at once, so taking one
// costs a load and two shifts, and fields depend on each other only through the position.
class BitWindow {
public:
    BitWindow(const std::uint8_t* bytes, std::int32_t length) : mBytes(bytes), mLength(length) {}

    // Whether the eight bytes loaded for the bit at `position` all lie inside the window.
    bool Loadable(std::int64_t position) const { return (position >> 3) + 8 <= mLength; }

    // The 57 or more bits from `position` on, first at the top. Loadable(position) must hold.
    std::uint64_t Load(std::int64_t position) const {
        std::uint64_t word;
        std::memcpy(&word, mBytes + (position >> 3), sizeof word);
        if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
        return word << (position & 7);
    }

    // The same near and past the end of the window: bytes outside it count as zeros and are
    // never read.
    std::uint64_t LoadNearEnd(std::int64_t position) const {
        if (Loadable(position)) return Load(position);
        std::uint64_t word = 0;
        for (std::int64_t i = position >> 3, k = 0; k < 8 && i < mLength; ++i, ++k)
            word |= std::uint64_t{mBytes[i]} << (56 - 8 * k);
        return word << (position & 7);
    }

private:
    const std::uint8_t* mBytes;
    std::int32_t mLength;
};

// The top `width` bits of bits as a two's-complement number: the arithmetic shift copies the
// field's first bit into every higher bit.
inline std::int32_t SignedField(std::uint64_t bits, std::int32_t width) {
    return static_cast<std::int32_t>(static_cast<std::int64_t>(bits) >> (64 - width));
}

inline void StoreBigEndian(std::uint8_t* output, std::uint32_t x) {
    output[0] = static_cast<std::uint8_t>(x >> 8);
    output[1] = static_cast<std::uint8_t>(x);
}

// Most residuals a group holds (a 4-bit count code, plus one).
constexpr std::int32_t kGroupLimit = 16;
// Most samples a block holds: its byte count is 16 bits.
constexpr std::int32_t kSampleLimit = 0xFFFF / 2;

// The residuals of a block, in order, from its groups. Groups are a 4-bit width code w, a 4-bit
// count code c and c + 1 residuals of w + 2 bits each; they follow each other with no alignment
// until `samples` residuals are taken. Every group takes all sixteen fields its width allows,
// needed or not, and the next group starts behind its own count: a group's length then costs no
// loop of its own, whose end the processor could not foresee. Fields past a group's count are
// overwritten by the next group or lie past the block's samples, so no one reads them. Returns
// nothing; residuals[0, samples) are set, and up to kGroupLimit - 1 entries behind them may be.
void TakeResiduals(const BitWindow& window, std::int32_t* residuals, std::int32_t samples) {
    std::int64_t position = 0;   // bits taken so far
    for (std::int32_t taken = 0; taken < samples;) {
        // The width code (high four bits) and the count code (low four) in one read.
        const auto codes = static_cast<std::int32_t>(window.LoadNearEnd(position) >> 56);
        position += 8;
        const std::int32_t width = (codes >> 4) + 2;
        std::int32_t* out = residuals + taken;
        if (window.Loadable(position + std::int64_t{kGroupLimit - 1} * width)) {
#pragma GCC unroll 16
            for (std::int32_t k = 0; k < kGroupLimit; ++k)
                out[k] = SignedField(window.Load(position + std::int64_t{k} * width), width);
        } else {
            // Only the last groups of a block come near the end of the window.
            for (std::int32_t k = 0; k < kGroupLimit; ++k)
                out[k] = SignedField(window.LoadNearEnd(position + std::int64_t{k} * width), width);
        }
        const std::int32_t count = (codes & 0xF) + 1;
        position += std::int64_t{count} * width;
        // A last group may declare more residuals than the block has samples left; those are
        // never needed, and the block is finished.
        taken += count;
    }
}

// The samples of one mode from the residuals, run once per block: the mode is chosen before the
// loop, so no sample pays for a mode test.
template <typename Predictor>
void Predict(const std::int32_t* residuals, std::uint8_t* output, std::int32_t samples) {
    Predictor predictor;
    for (std::int32_t i = 0; i < samples; ++i)
        StoreBigEndian(output + 2 * i, predictor.Next(static_cast<std::uint32_t>(residuals[i])));
}

std::int32_t ReadBigEndian16(const std::uint8_t* bytes) {
    return (static_cast<std::int32_t>(bytes[0]) << 8) | bytes[1];
}

} // namespace

void DecodeBlock(const std::uint8_t* packed, std::uint8_t* output, const std::uint8_t* header) {
    const std::uint8_t mode = header[5];
    if (mode < 1 || mode > 5)
        return;
    const std::int32_t packedLength = ReadBigEndian16(header + 16);
    const std::int32_t samples = ReadBigEndian16(header + 18) / 2;

    // WATCHOUT: the reader's window is the packed data plus the byte after it, which the caller
    // keeps readable. The samples of a block whose groups end within its own bytes never depend
    // on that byte's value; only a block cut short takes bits from it, and only the block's data
    // checksum can tell whether such a block came out right. With no packed data at all the
    // window is empty and packed is not touched.
    const BitWindow window(packed, packedLength > 0 ? packedLength + 1 : 0);

    std::int32_t residuals[kSampleLimit + kGroupLimit];
    TakeResiduals(window, residuals, samples);
    switch (mode) {
    case 1:
    case 4:
        Predict<SecondOrder>(residuals, output, samples);
        break;
    case 2:
        Predict<Verbatim>(residuals, output, samples);
        break;
    case 3:
        Predict<FirstOrder>(residuals, output, samples);
        break;
    default:
        Predict<ThirdOrder>(residuals, output, samples);
        break;
    }
}
