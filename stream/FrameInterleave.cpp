#include "stream/FrameInterleave.h"

#include "decode/WideTarget.h"   // the instructions the decoder uses, for the frames of many channels
#include "stream/HeapBlock.h"

#include <cstring>

namespace {

// A big-endian sample as the low byte first, in the low half of a 32-bit number: one 16-bit load
// whose two bytes change places, whatever the machine.
inline std::uint32_t LittleEndianSample(const std::uint8_t* in) {
    std::uint16_t value;
    std::memcpy(&value, in, sizeof value);
    return static_cast<std::uint16_t>((value << 8) | (value >> 8));
}

// Sample i of `in` (big-endian) goes low byte first to out + i * stride. Each sample is one
// 16-bit load and one 16-bit store; a stride known at compile time lets the compiler unroll and
// vectorise the common layouts.
template <std::int64_t Stride>
void Interleave(const std::uint8_t* in, std::uint8_t* out, std::int64_t count, std::int64_t stride = Stride) {
    for (std::int64_t i = 0; i < count; ++i) {
        const auto value = static_cast<std::uint16_t>(LittleEndianSample(in + 2 * i));
        std::memcpy(out + i * stride, &value, sizeof value);
    }
}

#if defined(__x86_64__)
// Frames of 2 to 16 channels, 32 at a time: the 32 frames take as many 64-byte vectors as there
// are channels, and each vector gets its share of the 32 samples by one byte permute, swapped to
// low byte first on the way. Channel 1 starting its frames afresh stores whole vectors with
// every other byte zero; any other stores the channel's own two bytes of each frame and no
// others. Returns how many samples it placed, a multiple of 32; the caller places the rest.
constexpr std::int64_t kWideFrames = 32;
constexpr std::int64_t kWideChannels = 16;

DUDEZ_WIDE std::int64_t InterleaveWide(const std::uint8_t* in, std::uint8_t* frames, std::int64_t count,
                                       std::int64_t stride, std::uint16_t channel, bool afresh) {
    const std::int64_t vectors = stride / 2;   // the channel count
    alignas(64) std::uint8_t order[kWideChannels][64] = {};
    __mmask64 mine[kWideChannels] = {};
    for (std::int64_t frame = 0; frame < kWideFrames; ++frame) {
        // The sample's two bytes never straddle two vectors: frames and vectors are both even.
        const std::int64_t at = frame * stride + 2 * (channel - 1);
        std::uint8_t* to = order[at / 64] + at % 64;
        to[0] = static_cast<std::uint8_t>(2 * frame + 1);
        to[1] = static_cast<std::uint8_t>(2 * frame);
        mine[at / 64] |= __mmask64{3} << (at % 64);
    }
    const std::int64_t whole = count / kWideFrames * kWideFrames;
    for (std::int64_t i = 0; i < whole; i += kWideFrames) {
        const __m512i samples = _mm512_loadu_si512(in + 2 * i);
        std::uint8_t* out = frames + i * stride;
        for (std::int64_t v = 0; v < vectors; ++v) {
            const __m512i placed = _mm512_maskz_permutexvar_epi8(mine[v], _mm512_load_si512(order[v]), samples);
            if (afresh)
                _mm512_storeu_si512(out + 64 * v, placed);
            else
                _mm512_mask_storeu_epi8(out + 64 * v, mine[v], placed);
        }
    }
    return whole;
}

// Which lanes of the two channels' 32 samples make frames `from` to from + 15: left's lane k, then
// right's (lane 32 + k of the pair), in turns.
struct alignas(64) FrameLanes {
    std::int16_t lane[32];
};

constexpr FrameLanes MakeFrameLanes(std::int16_t from) {
    FrameLanes lanes{};
    for (std::int16_t k = 0; k < 16; ++k) {
        lanes.lane[2 * k] = static_cast<std::int16_t>(from + k);
        lanes.lane[2 * k + 1] = static_cast<std::int16_t>(32 + from + k);
    }
    return lanes;
}

constexpr FrameLanes kFirstFrames = MakeFrameLanes(0);
constexpr FrameLanes kLastFrames = MakeFrameLanes(16);

// Both channels of 32 stereo frames at a time: each channel's samples swapped to low byte first,
// then the two sets of lanes taken in turns into two vectors of 16 frames. Returns how many
// frames it made, a multiple of 32.
DUDEZ_WIDE std::int64_t InterleaveStereoWide(const std::uint8_t* left, const std::uint8_t* right, std::uint8_t* frames,
                                             std::int64_t count, bool forOtherCore) {
    const __m512i swap = _mm512_set4_epi32(0x0E0F0C0D, 0x0A0B0809, 0x06070405, 0x02030001);
    const __m512i firstHalf = _mm512_load_si512(kFirstFrames.lane);
    const __m512i secondHalf = _mm512_load_si512(kLastFrames.lane);
    const std::int64_t whole = count / kWideFrames * kWideFrames;
    // Frames another core writes to the file go to memory directly: stored into this core's
    // cache, each line would first be fetched from the other core, which read it last, and
    // then be fetched back by it. That took five times as long as the interleaving itself.
    const bool past = forOtherCore && (reinterpret_cast<std::uintptr_t>(frames) & 63) == 0;
    for (std::int64_t i = 0; i < whole; i += kWideFrames) {
        const __m512i l = _mm512_shuffle_epi8(_mm512_loadu_si512(left + 2 * i), swap);
        const __m512i r = _mm512_shuffle_epi8(_mm512_loadu_si512(right + 2 * i), swap);
        const __m512i first = _mm512_permutex2var_epi16(l, firstHalf, r);
        const __m512i second = _mm512_permutex2var_epi16(l, secondHalf, r);
        if (past) {
            _mm512_stream_si512(reinterpret_cast<__m512i*>(frames + 4 * i), first);
            _mm512_stream_si512(reinterpret_cast<__m512i*>(frames + 4 * i + 64), second);
        } else {
            _mm512_storeu_si512(frames + 4 * i, first);
            _mm512_storeu_si512(frames + 4 * i + 64, second);
        }
    }
    if (past) _mm_sfence();
    return whole;
}
#endif

// The samples InterleaveWide places where the processor has the instructions, else none.
std::int64_t Wide(const std::uint8_t* in, std::uint8_t* frames, std::int64_t count, std::int64_t stride,
                  std::uint16_t channel, bool afresh) {
#if defined(__x86_64__)
    if (stride >= 4 && stride <= 2 * kWideChannels && HasWideInstructions())
        return InterleaveWide(in, frames, count, stride, channel, afresh);
#endif
    return 0;
}

void InterleaveAny(const std::uint8_t* in, std::uint8_t* out, std::int64_t count, std::int64_t stride) {
    switch (stride) {
    case 2: Interleave<2>(in, out, count); break;
    case 4: Interleave<4>(in, out, count); break;
    case 12: Interleave<12>(in, out, count); break;
    default: Interleave<0>(in, out, count, stride); break;
    }
}

// The same for channel 1, which starts its frames afresh: every other byte of each frame becomes
// 0. Mono and stereo frames get their zeros in the same store as the sample.
void InterleaveFirst(const std::uint8_t* in, std::uint8_t* out, std::int64_t count, std::int64_t stride) {
    if (stride == 2) {
        Interleave<2>(in, out, count);
    } else if (stride == 4) {
        for (std::int64_t i = 0; i < count; ++i) {
            const std::uint32_t frame = LittleEndianSample(in + 2 * i);
            std::memcpy(out + 4 * i, &frame, sizeof frame);
        }
    } else {
        ZeroBlock(out, static_cast<std::int32_t>(count * stride));
        InterleaveAny(in, out, count, stride);
    }
}

} // namespace

// Channel `channel`'s samples into the frames from `frames` on. The second channel of stereo
// frames goes into the high half of each whole frame, loaded and stored as one 32-bit number:
// that form the compiler turns into vector code, where two-byte stores four bytes apart it cannot.
void InterleaveChannel(const std::uint8_t* in, std::uint8_t* frames, std::int64_t count, std::int64_t stride,
                       std::uint16_t channel) {
    const std::int64_t placed = Wide(in, frames, count, stride, channel, channel == 1);
    in += 2 * placed;
    frames += placed * stride;
    count -= placed;
    if (channel == 1) {
        InterleaveFirst(in, frames, count, stride);
    } else if (channel == 2 && stride == 4) {
        for (std::int64_t i = 0; i < count; ++i) {
            std::uint32_t frame;
            std::memcpy(&frame, frames + 4 * i, sizeof frame);
            frame = (frame & 0xFFFFu) | (LittleEndianSample(in + 2 * i) << 16);
            std::memcpy(frames + 4 * i, &frame, sizeof frame);
        }
    } else {
        InterleaveAny(in, frames + 2 * (channel - 1), count, stride);
    }
}


void PlaceChannel(const std::uint8_t* in, std::uint8_t* frames, std::int64_t count, std::int64_t stride,
                  std::uint16_t channel) {
    const std::int64_t placed = Wide(in, frames, count, stride, channel, false);
    InterleaveAny(in + 2 * placed, frames + placed * stride + 2 * (channel - 1), count - placed, stride);
}

void ChannelOf(const std::uint8_t* frames, std::int64_t count, std::int64_t stride, std::uint16_t channel,
               std::uint8_t* out) {
    const std::uint8_t* in = frames + 2 * (channel - 1);
    for (std::int64_t i = 0; i < count; ++i) {
        out[2 * i] = in[i * stride + 1];
        out[2 * i + 1] = in[i * stride];
    }
}

void CopyFramesForOtherCore(const std::uint8_t* from, std::uint8_t* to, std::int64_t bytes) {
    std::int64_t i = 0;
#if defined(__x86_64__)
    // Whole lines, each stored straight to memory (see InterleaveStereoWide); 16 bytes a store
    // is what every x86-64 processor has.
    if ((reinterpret_cast<std::uintptr_t>(to) & 63) == 0) {
        for (; i + 64 <= bytes; i += 64) {
            for (std::int64_t k = 0; k < 64; k += 16)
                _mm_stream_si128(reinterpret_cast<__m128i*>(to + i + k),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + k)));
        }
        _mm_sfence();
    }
#endif
    if (i < bytes) std::memcpy(to + i, from + i, static_cast<std::size_t>(bytes - i));
}

void InterleaveStereo(const std::uint8_t* left, const std::uint8_t* right, std::uint8_t* frames, std::int64_t count,
                      bool forOtherCore) {
    std::int64_t i = 0;
#if defined(__x86_64__)
    if (HasWideInstructions()) i = InterleaveStereoWide(left, right, frames, count, forOtherCore);
#endif
    for (; i < count; ++i) {
        const std::uint32_t frame = LittleEndianSample(left + 2 * i) | (LittleEndianSample(right + 2 * i) << 16);
        std::memcpy(frames + 4 * i, &frame, sizeof frame);
    }
}
