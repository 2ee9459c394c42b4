#include "stream/LWaveFile.h"

#include "platform/runtime/Crt.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cerrno>
#include <cstring>

#include "platform/runtime/ByteOrder.h"
#include "platform/text/EscapedName.h"
#include "stream/ErrorCode.h"
#include "stream/FrameInterleave.h"
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

std::FILE* LWaveFile::OpenDataFork(std::int16_t permission) {
    std::FILE* fork = LAudioFile::OpenDataFork(permission);
    if (fork) crt::Unbuffered(fork);
    return fork;
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

void LWaveFile::WriteFrames(std::int64_t firstFrame, std::int64_t frameCount, const std::uint8_t* frames) {
    WriteFrames(firstFrame, frames, frameCount, nullptr, 0);
}

void LWaveFile::WriteFrames(std::int64_t firstFrame, const std::uint8_t* first, std::int64_t firstCount,
                            const std::uint8_t* second, std::int64_t secondCount) {
    if (mBytesPerSample != 2) throw ErrorCode{kUnsupportedFormat};
    // An empty first piece leaves the second to be written alone, not dropped.
    if (firstCount <= 0) {
        first = second;
        firstCount = secondCount;
        second = nullptr;
        secondCount = 0;
    }
    if (firstCount <= 0) return;
    // Held frames are older than these: the file has them first, and none stays held, so that
    // no held copy of these frames outlives them.
    WriteHeldFrames();
    mHeldFirst = mHeldEnd = 0;
    WriteStretch(kHeaderSize + firstFrame * FrameBytes(), first, firstCount * FrameBytes(), second,
                 std::max<std::int64_t>(secondCount, 0) * FrameBytes());
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
    WriteStretch(offset, frames, size);
}

void LWaveFile::WriteStretch(std::int64_t offset, const std::uint8_t* frames, std::int64_t size,
                             const std::uint8_t* rest, std::int64_t restSize) {
    ReserveAhead(offset, offset + size + restSize);
    if (!mDataFork) throw ErrorCode{EBADF};
    const auto sizes = static_cast<std::size_t>(size + restSize);
    errno = 0;
    // At its place in one call: a seek before each write would be a system call more per stretch.
    // WATCHOUT: a short write is a failure even when the runtime left no error number.
    if (crt::WriteTwoAt(frames, static_cast<std::size_t>(size), rest, static_cast<std::size_t>(restSize), mDataFork,
                        offset) != sizes)
        throw ErrorCode{errno != 0 ? errno : EIO};
    mFileEnd = std::max(mFileEnd, offset + size + restSize);
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
