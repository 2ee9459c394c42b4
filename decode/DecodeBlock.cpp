#include "decode/DecodeBlock.h"

#include "decode/WideTarget.h"
#include "platform/runtime/ByteOrder.h"

#include <algorithm>
#include <array>
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
    // How many running sums make the samples from the residuals: 32 samples are then
    // predicted at once on processors that can. -1: no such form (mode 5 weighs its history).
    static constexpr int kScans = 0;
    std::uint32_t Next(std::uint32_t v) { return v; }
};

// Mode 3: x = x1 + v.
struct FirstOrder {
    static constexpr int kScans = 1;
    std::uint32_t x1 = 0;
    std::uint32_t Next(std::uint32_t v) { return x1 += v; }
};

// Modes 1 and 4: x = 2 * x1 - x2 + v, kept as two running sums. The difference d = x1 - x2 takes
// the residual, then the sample takes the difference. Modulo 2^16 that is exactly
// x1 + (x1 - x2) + v, so both modes give the same samples from the same packed data.
struct SecondOrder {
    static constexpr int kScans = 2;
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
    static constexpr int kScans = -1;
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
    // Whether the bit at `position` lies behind the window's last byte: it and all after it are 0.
    bool Past(std::int64_t position) const { return (position >> 3) >= mLength; }

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

#if defined(__x86_64__)
    // The 64 bytes from byte `index` on, those outside the window as zeros. The masked load
    // reads no byte outside the window.
    DUDEZ_WIDE __m512i Load64(std::int64_t index) const {
        if (index + 64 <= mLength) return _mm512_loadu_si512(mBytes + index);
        const std::int64_t inside = std::clamp<std::int64_t>(mLength - index, 0, 64);
        if (inside == 0) return _mm512_setzero_si512();
        return _mm512_maskz_loadu_epi8(_bzhi_u64(~0ULL, static_cast<std::uint32_t>(inside)), mBytes + index);
    }
#endif

    // Asks for the bytes `ahead` past the one at `position` to be brought into the cache: a hint,
    // which reads nothing and never faults, wherever that is. The address is worked out as a
    // number: it may lie past the window, or the window may have no bytes at all.
    void Prefetch(std::int64_t position, std::int32_t ahead) const {
        const auto address = reinterpret_cast<std::uintptr_t>(mBytes) + static_cast<std::uintptr_t>((position >> 3) + ahead);
        __builtin_prefetch(reinterpret_cast<const void*>(address));
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

// Most residuals a group holds (a 4-bit count code, plus one).
constexpr std::int32_t kGroupLimit = 16;
// Residuals taken at a time: the block is decoded a stretch at a time, so the stack holds a few
// kilobytes whatever the block's length (a thread's stack may be small under a tight limit).
constexpr std::int32_t kStretch = 1024;

// Residuals from the groups starting at bit `position`, whole groups until at least `wanted` are
// taken; returns how many were, and leaves `position` behind the last group. Groups are a 4-bit
// width code w, a 4-bit count code c and c + 1 residuals of w + 2 bits each, with no alignment.
// Every group takes all sixteen fields its width allows, needed or not, and the next group starts
// behind its own count: a group's length then costs no loop of its own, whose end the processor
// could not foresee. Fields past a group's count are overwritten by the next group or lie past
// what is returned, so no one reads them: residuals must have room for wanted + kGroupLimit - 1.
std::int32_t TakeResiduals(const BitWindow& window, std::int64_t& position, std::int32_t* residuals,
                           std::int32_t wanted) {
    std::int32_t taken = 0;
    while (taken < wanted) {
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
        taken += count;
    }
    return taken;
}

#if defined(__x86_64__)
// Where a group's sixteen fields lie in the 64 bytes loaded from the byte its first field starts
// in, for each width and each bit that first field starts at: lane k takes the four bytes that
// hold field k, most significant first (order), and is then shifted up past the bits before the
// field (shift). One table of all of them costs two loads a group instead of the arithmetic.
struct alignas(64) FieldLayout {
    std::uint8_t order[64];
    std::uint32_t shift[16];
};

using FieldLayouts = std::array<std::array<FieldLayout, 8>, 16>;   // [width - 2][first bit]

constexpr FieldLayouts MakeFieldLayouts() {
    FieldLayouts layouts{};
    for (std::int32_t width = 2; width <= 17; ++width) {
        for (std::int32_t firstBit = 0; firstBit < 8; ++firstBit) {
            FieldLayout& layout = layouts[static_cast<std::size_t>(width - 2)][static_cast<std::size_t>(firstBit)];
            for (std::int32_t k = 0; k < kGroupLimit; ++k) {
                const std::int32_t bit = firstBit + k * width;
                for (std::int32_t b = 0; b < 4; ++b)
                    layout.order[4 * k + b] = static_cast<std::uint8_t>((bit >> 3) + 3 - b);
                layout.shift[k] = static_cast<std::uint32_t>(bit & 7);
            }
        }
    }
    return layouts;
}

constexpr FieldLayouts kFieldLayouts = MakeFieldLayouts();

// The same, sixteen fields at once, for processors with 512-bit byte permutes: the group at bit
// `at` into `residuals`, `at` left behind it; returns the group's count. A group's fields lie
// within the 36 bytes from its first one, so one load of 64 bytes holds them all; bytes outside
// the window are masked off at the load and come in as zeros, exactly as LoadNearEnd makes them.
// Each field's four bytes are permuted into a 32-bit lane, most significant first, then shifted
// up past the bits before it and arithmetically down to its width. Only the low 16 bits of each
// residual are kept: they are all the predictors' samples depend on.
[[gnu::always_inline]] DUDEZ_WIDE inline std::int32_t TakeGroupWide(const BitWindow& bits, std::int64_t& at,
                                                                    std::int16_t* residuals) {
    const auto codes = static_cast<std::int32_t>(bits.LoadNearEnd(at) >> 56);
    const std::int32_t width = (codes >> 4) + 2;
    const std::int64_t first = at + 8;     // the group's first field
    const std::int32_t count = (codes & 0xF) + 1;
    // The next group's place first: the chain from group to group waits on nothing else.
    at = first + std::int64_t{count} * width;
    const FieldLayout& layout = kFieldLayouts[static_cast<std::size_t>(width - 2)][first & 7];
    const __m512i fields = _mm512_permutexvar_epi8(_mm512_load_si512(layout.order), bits.Load64(first >> 3));
    const __m512i up = _mm512_sllv_epi32(fields, _mm512_load_si512(layout.shift));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(residuals),
                        _mm512_cvtepi32_epi16(_mm512_srav_epi32(up, _mm512_set1_epi32(32 - width))));
    return count;
}

#endif

// The samples of `count` residuals, big-endian, one at a time.
template <typename Predictor, typename Residual>
void Predict(Predictor& predictor, const Residual* residuals, std::int32_t count, std::uint8_t* out) {
    // A copy of the history stays in registers: the byte stores could alias the caller's.
    Predictor local = predictor;
    for (std::int32_t i = 0; i < count; ++i)
        byteorder::PutBE16(out + 2 * i, static_cast<std::uint16_t>(local.Next(static_cast<std::uint32_t>(residuals[i]))));
    predictor = local;
}

using DecodeFunction = void (*)(const BitWindow&, std::uint8_t*, std::int32_t);

// The samples of one mode, run once per block: the mode and the way are chosen before the loops,
// so no sample pays for a test. A stretch of residuals is taken, then predicted; a last group may
// declare more residuals than the block has samples left, and those are never used.
template <typename Predictor>
void DecodePlain(const BitWindow& window, std::uint8_t* output, std::int32_t samples) {
    Predictor predictor;
    std::int64_t position = 0;   // bits taken so far
    std::int32_t residuals[kStretch + kGroupLimit - 1];
    for (std::int32_t done = 0; done < samples;) {
        const std::int32_t wanted = std::min(kStretch, samples - done);
        std::int32_t taken = wanted;
        if (window.Past(position)) {
            // Behind the window every group reads as codes of 0 and one 2-bit residual of 0, ten
            // bits in all: a stretch of zeros. A block cut short (or arbitrary bytes) would
            // otherwise cost seventeen loads a sample.
            std::fill(residuals, residuals + wanted, 0);
            position += std::int64_t{10} * wanted;
        } else {
            taken = TakeResiduals(window, position, residuals, wanted);
        }
        const std::int32_t used = std::min(taken, samples - done);
        Predict(predictor, residuals, used, output + 2 * done);
        done += used;
    }
}

#if defined(__x86_64__)
// The running sums of the 32 lanes of 16 bits: lane k holds lanes 0 to k added, in five steps
// that each add the lanes 1, 2, 4, 8 and 16 places before (zeros shifted in at the front).
DUDEZ_WIDE inline __m512i RunningSums(__m512i v) {
    const __m512i zero = _mm512_setzero_si512();
    const __m512i before = _mm512_set_epi16(30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15,
                                            14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0);
    v = _mm512_add_epi16(v, _mm512_maskz_permutexvar_epi16(~1u, before, v));
    v = _mm512_add_epi16(v, _mm512_alignr_epi32(v, zero, 15));
    v = _mm512_add_epi16(v, _mm512_alignr_epi32(v, zero, 14));
    v = _mm512_add_epi16(v, _mm512_alignr_epi32(v, zero, 12));
    return _mm512_add_epi16(v, _mm512_alignr_epi32(v, zero, 8));
}

// The same samples as Predict, 32 at a time, for the modes that predict by running sums, in
// lanes of 16 bits: only the low 16 bits of the sums make the samples, and those depend only on
// the low 16 bits of the residuals. A first-order sample is the last one plus the running sum of
// the residuals, a second-order one the last one plus the running sum of the differences,
// themselves the last difference plus the running sum of the residuals. The last sample and
// difference stay in every lane of `sample` and `difference` from one call to the next. Returns
// the first `count` samples of the residuals in v, big-endian; the lanes from count on are zero
// in v and not used.
template <int Scans>
[[gnu::always_inline]] DUDEZ_WIDE inline __m512i PredictLanes(__m512i v, std::int32_t count, __m512i& sample,
                                                              __m512i& difference) {
    const __m512i lastLane = _mm512_set1_epi16(static_cast<short>(count - 1));
    if constexpr (Scans == 2) {
        v = _mm512_add_epi16(RunningSums(v), difference);
        difference = _mm512_permutexvar_epi16(lastLane, v);
    }
    if constexpr (Scans >= 1) {
        v = _mm512_add_epi16(RunningSums(v), sample);
        sample = _mm512_permutexvar_epi16(lastLane, v);
    }
    const __m512i bigEndian = _mm512_set4_epi32(0x0E0F0C0D, 0x0A0B0809, 0x06070405, 0x02030001);
    return _mm512_shuffle_epi8(v, bigEndian);
}

constexpr std::int32_t kLanes = 32;
// How many residuals behind the last one taken a stretch's own are predicted.
constexpr std::int32_t kLag = 48;

// The samples of the residuals from `from` to `to`, into out on, 32 at a time and then the rest.
template <int Scans>
[[gnu::always_inline]] DUDEZ_WIDE inline void PredictAll(const std::int16_t* from, const std::int16_t* to, std::uint8_t* out,
                                                         __m512i& sample, __m512i& difference) {
    for (; from + kLanes <= to; from += kLanes, out += 2 * kLanes)
        _mm512_storeu_si512(out, PredictLanes<Scans>(_mm512_loadu_si512(from), kLanes, sample, difference));
    if (from < to) {
        const auto count = static_cast<std::int32_t>(to - from);
        const __mmask32 used = _bzhi_u32(~0u, static_cast<std::uint32_t>(count));
        _mm512_mask_storeu_epi16(out, used, PredictLanes<Scans>(_mm512_maskz_loadu_epi16(used, from), count, sample, difference));
    }
}

// The block a stretch at a time, as DecodePlain, but the samples are predicted while the
// residuals are taken: with each group, 32 samples whose residuals are all there, first those
// left of the stretch before, then the stretch's own a little behind the last group taken; what
// is left when the taking ends is predicted with the next stretch, or at the block's end. The
// two stretches have buffers of their own. Each group waits on the one before for where it
// starts, a chain that leaves the processor mostly idle; the predicting fills some of it, and a
// block of one stretch (1,024 samples or fewer) is no longer predicted only after its taking.
// WATCHOUT: every value the loop carries is a local of its own, and the bounds are pointers. The
// stores may alias anything: a value the compiler keeps in memory (a member, a variable a lambda
// captures) is written and read again around each of them, and the place of the next group,
// which every group waits for, then waits for memory too.
template <typename Predictor>
DUDEZ_WIDE void DecodeWide(const BitWindow& window, std::uint8_t* output, std::int32_t samples) {
    const BitWindow bits = window;
    std::int64_t at = 0;   // bits taken so far
    // Each with room for kLag residuals in front: a bound that far behind the first stays inside.
    alignas(64) std::int16_t buffers[2][kLag + kStretch + kGroupLimit - 1];
    if constexpr (Predictor::kScans < 0) {
        // Mode 5's samples wait on each other one by one; they are best predicted in a loop of
        // their own, after their residuals.
        Predictor predictor;
        for (std::int32_t done = 0; done < samples;) {
            std::int16_t* const residuals = buffers[0] + kLag;
            std::int16_t* taken = residuals;
            const std::int32_t wanted = std::min(kStretch, samples - done);
            while (taken < residuals + wanted) taken += TakeGroupWide(bits, at, taken);
            // A last group may take the stretch past `wanted`; only the block's end cuts it off.
            const std::int32_t used = std::min(static_cast<std::int32_t>(taken - residuals), samples - done);
            Predict(predictor, residuals, used, output + 2 * done);
            done += used;
        }
    } else {
        constexpr int kScans = Predictor::kScans;
        __m512i sample = _mm512_setzero_si512();       // the last sample in every lane
        __m512i difference = _mm512_setzero_si512();   // the last difference in every lane
        // The stretch taken before, from `pending` (its first residual not yet predicted) to
        // pendingEnd, its samples from pendingOut on.
        const std::int16_t* pending = buffers[1] + kLag;
        const std::int16_t* pendingEnd = pending;
        std::uint8_t* pendingOut = output;
        for (std::int32_t done = 0, turn = 0; done < samples; turn ^= 1) {
            std::int16_t* const residuals = buffers[turn] + kLag;
            std::int16_t* const wanted = residuals + std::min(kStretch, samples - done);
            // A last group may take the stretch past `wanted`; only the block's end cuts it off
            // (the stretch's buffer ends past any group's end).
            std::int16_t* const last = residuals + std::min(samples - done, kStretch + kGroupLimit - 1);
            std::int16_t* taken = residuals;
            bool onThis = false;   // the stretch before is all predicted: this one's turn
            while (taken < wanted) {
                taken += TakeGroupWide(bits, at, taken);
                if (pending + kLanes <= pendingEnd) {
                    _mm512_storeu_si512(pendingOut, PredictLanes<kScans>(_mm512_loadu_si512(pending), kLanes, sample, difference));
                    pending += kLanes;
                    pendingOut += 2 * kLanes;
                } else if (!onThis) {
                    PredictAll<kScans>(pending, pendingEnd, pendingOut, sample, difference);
                    onThis = true;
                    pending = pendingEnd = residuals;
                    pendingOut = output + 2 * done;
                }
                // This stretch's residuals a little behind the last taken: their stores have
                // reached the cache, and a load across several of them does not wait for them.
                if (onThis) pendingEnd = std::min(taken, last) - kLag;
            }
            if (!onThis) {
                PredictAll<kScans>(pending, pendingEnd, pendingOut, sample, difference);
                pending = residuals;
                pendingOut = output + 2 * done;
            }
            pendingEnd = std::min(taken, last);
            done += static_cast<std::int32_t>(pendingEnd - residuals);
        }
        PredictAll<kScans>(pending, pendingEnd, pendingOut, sample, difference);
    }
}

// What a block's predictor carries from one stretch to the next, whatever its mode.
struct History {
    __m512i sample;       // running sums: the last sample in every lane
    __m512i difference;   // second order: the last difference in every lane
    ThirdOrder third;     // mode 5
};

// The samples of the residuals from `from` to `to`, into out on, by the block's mode.
[[gnu::always_inline]] DUDEZ_WIDE inline void PredictStretch(std::uint8_t mode, const std::int16_t* from,
                                                             const std::int16_t* to, std::uint8_t* out, History& history) {
    switch (mode) {
    case 1:
    case 4:
        PredictAll<SecondOrder::kScans>(from, to, out, history.sample, history.difference);
        break;
    case 2:
        PredictAll<Verbatim::kScans>(from, to, out, history.sample, history.difference);
        break;
    case 3:
        PredictAll<FirstOrder::kScans>(from, to, out, history.sample, history.difference);
        break;
    default:
        Predict(history.third, from, static_cast<std::int32_t>(to - from), out);
        break;
    }
}

// How far ahead of where each of two blocks is taken its bytes are asked for. One block's bytes
// come in fast enough as they are; two blocks taken side by side wait for memory without this.
constexpr std::int32_t kPrefetchAhead = 1024;

// Two blocks of any modes, a stretch of each at a time: the residuals of both are taken, a group
// of one and a group of the other in turn, then predicted. A block's taking waits group by group
// for where the next starts, and leaves the processor room for the other block's groups.
// WATCHOUT: as in DecodeWide, everything the loops carry is a local of its own.
DUDEZ_WIDE void DecodeTwoWide(const BitWindow& windowA, std::uint8_t modeA, std::uint8_t* outputA, std::int32_t samplesA,
                              const BitWindow& windowB, std::uint8_t modeB, std::uint8_t* outputB, std::int32_t samplesB) {
    const BitWindow bitsA = windowA;
    const BitWindow bitsB = windowB;
    std::int64_t atA = 0;
    std::int64_t atB = 0;
    alignas(64) std::int16_t residualsA[kStretch + kGroupLimit - 1];
    alignas(64) std::int16_t residualsB[kStretch + kGroupLimit - 1];
    History historyA{_mm512_setzero_si512(), _mm512_setzero_si512(), {}};
    History historyB{_mm512_setzero_si512(), _mm512_setzero_si512(), {}};
    // Both blocks' first kilobyte is asked for at once: the look ahead in the loop asks for the
    // bytes a kilobyte past where each block is taken, never for those, and a pair of short
    // blocks then waited for most of its bytes a line at a time.
    for (std::int32_t ahead = 0; ahead < kPrefetchAhead; ahead += 64) {
        bitsA.Prefetch(0, ahead);
        bitsB.Prefetch(0, ahead);
    }
    for (std::int32_t doneA = 0, doneB = 0; doneA < samplesA || doneB < samplesB;) {
        std::int16_t* const wantedA = residualsA + std::min(kStretch, samplesA - doneA);
        std::int16_t* const wantedB = residualsB + std::min(kStretch, samplesB - doneB);
        std::int16_t* takenA = residualsA;
        std::int16_t* takenB = residualsB;
        while (takenA < wantedA && takenB < wantedB) {
            bitsA.Prefetch(atA, kPrefetchAhead);
            bitsB.Prefetch(atB, kPrefetchAhead);
            takenA += TakeGroupWide(bitsA, atA, takenA);
            takenB += TakeGroupWide(bitsB, atB, takenB);
        }
        while (takenA < wantedA) takenA += TakeGroupWide(bitsA, atA, takenA);
        while (takenB < wantedB) takenB += TakeGroupWide(bitsB, atB, takenB);
        // A last group may take a stretch past what is wanted; only the block's end cuts it off.
        const std::int32_t usedA = std::min(static_cast<std::int32_t>(takenA - residualsA), samplesA - doneA);
        const std::int32_t usedB = std::min(static_cast<std::int32_t>(takenB - residualsB), samplesB - doneB);
        PredictStretch(modeA, residualsA, residualsA + usedA, outputA + 2 * doneA, historyA);
        PredictStretch(modeB, residualsB, residualsB + usedB, outputB + 2 * doneB, historyB);
        doneA += usedA;
        doneB += usedB;
    }
}
#endif

template <typename Predictor>
DecodeFunction ChooseDecoder(DecodeWay way) {
#if defined(__x86_64__)
    if (way == DecodeWay::kFastest && HasWideInstructions()) return DecodeWide<Predictor>;
#endif
    return DecodePlain<Predictor>;
}

} // namespace

namespace {

// The bits of a block, as DecodeBlock (the packed data and the byte behind) or DecodeBlockInPlace
// (the packed data alone) reads them. With no packed data at all the window is empty and packed
// is not touched.
BitWindow WindowOf(const PackedBlock& block) {
    const std::int32_t packedLength = byteorder::BE16(block.header + 16);
    return BitWindow(block.packed, block.inPlace || packedLength == 0 ? packedLength : packedLength + 1);
}

std::int32_t SamplesOf(const std::uint8_t* header) { return byteorder::BE16(header + 18) / 2; }

// The samples of the block.
void DecodeOne(const PackedBlock& block, DecodeWay way) {
    const std::uint8_t mode = block.header[5];
    if (!DecodesMode(mode))
        return;
    const std::int32_t samples = SamplesOf(block.header);
    const BitWindow bits = WindowOf(block);
    std::uint8_t* const output = block.output;

    switch (mode) {
    case 1:
    case 4:
        ChooseDecoder<SecondOrder>(way)(bits, output, samples);
        break;
    case 2:
        ChooseDecoder<Verbatim>(way)(bits, output, samples);
        break;
    case 3:
        ChooseDecoder<FirstOrder>(way)(bits, output, samples);
        break;
    default:
        ChooseDecoder<ThirdOrder>(way)(bits, output, samples);
        break;
    }
}

} // namespace

void DecodeBlock(const std::uint8_t* packed, std::uint8_t* output, const std::uint8_t* header, DecodeWay way) {
    // WATCHOUT: the reader's window is the packed data plus the byte after it, which the caller
    // keeps readable. The samples of a block whose groups end within its own bytes never depend
    // on that byte's value; only a block cut short takes bits from it, and only the block's data
    // checksum can tell whether such a block came out right.
    DecodeOne(PackedBlock{packed, output, header, false}, way);
}

void DecodeBlockInPlace(const std::uint8_t* packed, std::uint8_t* output, const std::uint8_t* header, DecodeWay way) {
    // Bits past the window's end read as zeros, so a window of the packed bytes alone decodes as
    // one with a zero byte behind them.
    DecodeOne(PackedBlock{packed, output, header, true}, way);
}

void DecodeBlock(const PackedBlock& block, DecodeWay way) {
    DecodeOne(block, way);
}

void DecodeTwoBlocks(const PackedBlock& first, const PackedBlock& second, DecodeWay way) {
#if defined(__x86_64__)
    const std::uint8_t firstMode = first.header[5];
    const std::uint8_t secondMode = second.header[5];
    if (way == DecodeWay::kFastest && HasWideInstructions() && DecodesMode(firstMode) && DecodesMode(secondMode)) {
        DecodeTwoWide(WindowOf(first), firstMode, first.output, SamplesOf(first.header), WindowOf(second), secondMode,
                      second.output, SamplesOf(second.header));
        return;
    }
#endif
    DecodeOne(first, way);
    DecodeOne(second, way);
}
