#include "stream/LWaveFile.h"

#include "platform/runtime/Crt.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cerrno>
#include <cstring>

#include "decode/WideTarget.h"   // the instructions the decoder uses, for the frames of many channels
#include "platform/runtime/ByteOrder.h"
#include "platform/text/EscapedName.h"
#include "stream/ErrorCode.h"
#include "stream/HeapBlock.h"

namespace {

using byteorder::PutLE32;

// The 16-bit fields of the header, from the wider numbers they are computed in.
void PutLE16(std::uint8_t* at, std::uint32_t value) {
    byteorder::PutLE16(at, static_cast<std::uint16_t>(value));
}

void PutChars(std::uint8_t* at, const char (&four)[5]) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(four[i]);
}

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
// low byte first on the way. Channel 1 stores whole vectors with every other byte zero (its
// frames start afresh); a later channel stores its own two bytes of each frame and no others.
// Returns how many samples it placed, a multiple of 32; the caller places the rest.
constexpr std::int64_t kWideFrames = 32;
constexpr std::int64_t kWideChannels = 16;

DUDEZ_WIDE std::int64_t InterleaveWide(const std::uint8_t* in, std::uint8_t* frames, std::int64_t count,
                                       std::int64_t stride, std::uint16_t channel) {
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
            if (channel == 1)
                _mm512_storeu_si512(out + 64 * v, placed);
            else
                _mm512_mask_storeu_epi8(out + 64 * v, mine[v], placed);
        }
    }
    return whole;
}
#endif

void InterleaveAny(const std::uint8_t* in, std::uint8_t* out, std::int64_t count, std::int64_t stride) {
    switch (stride) {
    case 2: Interleave<2>(in, out, count); break;
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

// Channel `channel`'s samples into the frames from `frames` on. The second channel of stereo
// frames goes into the high half of each whole frame, loaded and stored as one 32-bit number:
// that form the compiler turns into vector code, where two-byte stores four bytes apart it cannot.
void InterleaveChannel(const std::uint8_t* in, std::uint8_t* frames, std::int64_t count, std::int64_t stride,
                       std::uint16_t channel) {
#if defined(__x86_64__)
    if (stride >= 4 && stride <= 2 * kWideChannels && HasWideInstructions()) {
        const std::int64_t placed = InterleaveWide(in, frames, count, stride, channel);
        in += 2 * placed;
        frames += placed * stride;
        count -= placed;
    }
#endif
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

// The held frames' buffer of the last file, for the next one.
SpareBlock& SpareHeld() {
    static SpareBlock* spare = new SpareBlock;   // used until the very end
    return *spare;
}

} // namespace

LWaveFile::LWaveFile(const FileSpec& spec, std::int32_t heldBytes)
    : LAudioFile(spec), mHeldLimit(heldBytes) {}

LWaveFile::~LWaveFile() {
    WriteHeldFramesQuietly("LWaveFile::~LWaveFile");
    SpareHeld().GiveBack(std::move(mHeld));
}

std::uint32_t LWaveFile::GetFileType() {
    return 0x57617665;
}

void LWaveFile::CloseDataFork() {
    WriteHeldFramesQuietly("LWaveFile::CloseDataFork");
    LAudioFile::CloseDataFork();
}

void LWaveFile::SetFormat(std::int32_t frameCount, std::uint16_t channels,
                          std::uint16_t bytesPerSample, std::int32_t sampleRate) {
    // The sizes in 64 bits: channels x bytes per sample alone can pass 32 bits. A negative
    // frame count is a count of 2^31 or more as the KOB header stores it, far too many.
    const std::int64_t frameBytes = std::int64_t{channels} * bytesPerSample;
    const std::int64_t dataBytes = frameBytes * frameCount;
    if (frameCount < 0 || kHeaderSize + dataBytes > INT32_MAX)
        throw ErrorCode{kUnsupportedFormat};

    // Frames held for the old format belong to the file as it was.
    WriteHeldFrames();
    SpareHeld().GiveBack(std::move(mHeld));
    LAudioFile::SetFormat(frameCount, channels, bytesPerSample, sampleRate);

    // Fields that the format itself cannot hold in their width (frame bytes in 16 bits, the
    // byte rate in 32) keep their low bits, as the format's readers expect nothing better.
    std::uint8_t header[kHeaderSize];
    PutChars(header + 0, "RIFF");
    PutLE32(header + 4, static_cast<std::uint32_t>(dataBytes + 36));
    PutChars(header + 8, "WAVE");
    PutChars(header + 12, "fmt ");
    PutLE32(header + 16, 16);
    PutLE16(header + 20, 1); // PCM
    PutLE16(header + 22, channels);
    PutLE32(header + 24, static_cast<std::uint32_t>(sampleRate));
    PutLE32(header + 28, static_cast<std::uint32_t>(static_cast<std::uint64_t>(frameBytes) *
                                                    static_cast<std::uint32_t>(sampleRate)));
    PutLE16(header + 32, static_cast<std::uint32_t>(frameBytes));
    PutLE16(header + 34, static_cast<std::uint32_t>(bytesPerSample) * 8);
    PutChars(header + 36, "data");
    PutLE32(header + 40, static_cast<std::uint32_t>(dataBytes));

    SetMarker(0, 0);
    PutBlock(header, kHeaderSize);
    // The file was created empty (CreateAudioFile), so the header is all it holds.
    mFileEnd = std::max<std::int64_t>(mFileEnd, kHeaderSize);
}

void LWaveFile::WriteSamples(std::int32_t firstFrame, std::int32_t frameCount,
                             std::uint16_t channel, const std::uint8_t* samples) {
    // Tested first: with 0 bytes per sample (or no format yet) there is no frame size to
    // divide or multiply by.
    if (mBytesPerSample != 2) throw ErrorCode{kUnsupportedFormat};
    if (channel < 1 || channel > mChannels) return;

    // Only the frames of the sound are written; the rest of the run is dropped.
    const std::int64_t first = firstFrame;
    const std::int64_t start = std::max<std::int64_t>(first, 0);
    const std::int64_t stop = std::min<std::int64_t>(first + frameCount, mFrameCount);
    if (start >= stop) return;

    const std::int64_t frameBytes = FrameBytes();
    // WATCHOUT: SetFormat refused every sound whose file passes INT32_MAX bytes, so this holds
    // for every frame below mFrameCount; it stays as the guard of the 32-bit markers.
    if (kHeaderSize + frameBytes * stop > INT32_MAX) throw ErrorCode{kUnsupportedFormat};

    if (!mHeld) {
        // No more than the sound has, so a short sound with many channels asks for little.
        mHeldCapacity = std::clamp<std::int64_t>(mHeldLimit / frameBytes, 1, mFrameCount);
        const auto size = static_cast<std::int32_t>(mHeldCapacity * frameBytes);
        // What it holds from before is never read: every frame is loaded or zeroed first.
        mHeld = SpareHeld().Take(size);
        if (!mHeld) {
            mHeld = std::make_unique<HeapBlock>(size);
            // Sized to the sound, so it fills up.
            MapAtOnce(mHeld->Bytes(), size);
        }
        mHeldFirst = mHeldEnd = mChangedFirst = mChangedEnd = 0;
    }

    // A run wider than the held stretch goes through it a slice at a time.
    for (std::int64_t sliceStart = start; sliceStart < stop;) {
        const std::int64_t sliceStop = std::min(stop, sliceStart + mHeldCapacity);
        Hold(sliceStart, sliceStop, channel == 1);
        std::uint8_t* frames = HeldFrame(sliceStart);
        const std::int64_t count = sliceStop - sliceStart;
        // Sample i of the input is big-endian; in the frame it goes low byte first.
        const std::uint8_t* in = samples + 2 * (sliceStart - first);
        InterleaveChannel(in, frames, count, frameBytes, channel);
        if (mChangedFirst == mChangedEnd) {
            mChangedFirst = sliceStart;
            mChangedEnd = sliceStop;
        } else {
            mChangedFirst = std::min(mChangedFirst, sliceStart);
            mChangedEnd = std::max(mChangedEnd, sliceStop);
        }
        sliceStart = sliceStop;
    }
}

void LWaveFile::WriteSilence(std::int32_t firstFrame, std::int32_t frameCount) {
    if (mBytesPerSample != 2) throw ErrorCode{kUnsupportedFormat};
    const std::int64_t start = std::max<std::int64_t>(firstFrame, 0);
    const std::int64_t stop = std::min<std::int64_t>(std::int64_t{firstFrame} + frameCount, mFrameCount);
    if (start >= stop || mChannels == 0) return;

    // Frames the file or the held stretch reaches already are overwritten with zeros.
    const std::int64_t inFile = (mFileEnd - kHeaderSize + FrameBytes() - 1) / FrameBytes();
    const std::int64_t reached = std::min(stop, std::max(inFile, mHeld ? mHeldEnd : 0));
    if (start < reached) {
        constexpr std::int32_t kChunk = 8192;
        HeapBlock zeros(kChunk * 2);
        ZeroBlock(zeros.Bytes(), kChunk * 2);
        for (std::int64_t frame = start; frame < reached; frame += kChunk) {
            const auto count = static_cast<std::int32_t>(std::min<std::int64_t>(kChunk, reached - frame));
            WriteSamples(static_cast<std::int32_t>(frame), count, 1, zeros.Bytes());
        }
    }
    // Beyond them the file only grows: what it has never held reads as zeros.
    const std::int64_t end = kHeaderSize + stop * FrameBytes();
    if (end > mFileEnd) {
        WriteHeldFrames();
        if (!mDataFork) throw ErrorCode{EBADF};
        errno = 0;
        if (crt::ftruncate(mDataFork, end) != 0) throw ErrorCode{errno != 0 ? errno : EIO};
        // Room asked for where the silence now lies would hold it on disk: it goes back (once
        // within the file's length, where a hole can be punched).
        if (mReservedEnd > mFileEnd) crt::ReleaseSpace(mDataFork, mFileEnd, std::min(mReservedEnd, end) - mFileEnd);
        mReservedEnd = std::max(mReservedEnd, end);
        mFileEnd = end;
    }
}

void LWaveFile::Hold(std::int64_t start, std::int64_t stop, bool overwritten) {
    const bool anyHeld = mHeldFirst < mHeldEnd;
    if (anyHeld && start >= mHeldFirst && stop <= mHeldFirst + mHeldCapacity) {
        // Within reach of the held stretch: it grows up to stop. Frames between its end and
        // start keep what the file holds.
        if (stop > mHeldEnd) {
            Load(mHeldEnd, overwritten ? start : stop);
            mHeldEnd = stop;
        }
        return;
    }
    WriteHeldFrames();
    mHeldFirst = mHeldEnd = start;
    if (!overwritten) Load(start, stop);
    mHeldEnd = stop;
}

void LWaveFile::Load(std::int64_t from, std::int64_t to) {
    if (from >= to) return;
    std::uint8_t* frames = HeldFrame(from);
    const std::int64_t offset = kHeaderSize + from * FrameBytes();
    const std::int64_t size = (to - from) * FrameBytes();
    const std::int64_t held = std::clamp<std::int64_t>(mFileEnd - offset, 0, size);
    if (held > 0) {
        SetMarker(static_cast<std::int32_t>(offset), 0);
        std::int32_t count = static_cast<std::int32_t>(held);
        const std::int32_t code = GetBytes(frames, count);
        if (code != 0) throw code;
    }
    // What the file does not hold yet becomes zero, never stale heap bytes.
    ZeroBlock(frames + held, static_cast<std::int32_t>(size - held));
}

void LWaveFile::WriteHeldFrames() {
    if (mChangedFirst >= mChangedEnd) return;
    // Every frame between the first and the last changed one is held and right, so the
    // stretch goes out in one piece.
    const std::int64_t offset = kHeaderSize + mChangedFirst * FrameBytes();
    const std::int64_t size = (mChangedEnd - mChangedFirst) * FrameBytes();
    const std::uint8_t* frames = HeldFrame(mChangedFirst);
    // A write that fails is not tried again: the file is incomplete either way.
    mChangedFirst = mChangedEnd = 0;
    ReserveAhead(offset, offset + size);
    SetMarker(static_cast<std::int32_t>(offset), 0);
    PutBlock(frames, static_cast<std::int32_t>(size));
    mFileEnd = std::max(mFileEnd, offset + size);
}

void LWaveFile::ReserveAhead(std::int64_t start, std::int64_t end) {
    // As far ahead as the file reaches, so what is asked for never passes twice what is
    // written, and 8 MiB at the most: a fallocate call per 32 writes of the held stretch.
    constexpr std::int64_t kLongestStretch = std::int64_t{8} << 20;
    if (!mReserving || end <= mReservedEnd || !mDataFork) return;
    // A write beyond the file's end leaves a hole before it, which stays one.
    const std::int64_t from = std::max({mReservedEnd, mFileEnd, start});
    const std::int64_t to = std::min(end + std::min(end, kLongestStretch), kHeaderSize + mFrameCount * FrameBytes());
    if (to <= from) return;
    if (crt::ReserveSpace(mDataFork, from, to - from) != 0) {
        mReserving = false;
        return;
    }
    mReservedEnd = to;
}

void LWaveFile::WriteHeldFramesQuietly(const char* where) noexcept {
    try {
        WriteHeldFrames();
    } catch (ErrorCode code) {
        char path[kPathTextSize];
        std::fprintf(stderr, "%s: the last frames of %s could not be written: %s\n", where,
                     platform::EscapeName(FileSpecPathText(mSpec, path), platform::NameUse::Message).c_str(),
                     code > 0 ? std::strerror(code) : "seek failed");
    }
}
