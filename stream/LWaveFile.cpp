#include "stream/LWaveFile.h"

#include <algorithm>
#include <cstdint>

#include "stream/HeapBlock.h"

namespace {

void PutLE16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLE32(std::uint8_t* at, std::uint32_t value) {
    PutLE16(at, value);
    PutLE16(at + 2, value >> 16);
}

void PutChars(std::uint8_t* at, const char (&four)[5]) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(four[i]);
}

} // namespace

LWaveFile::LWaveFile(const FileSpec& spec) : LAudioFile(spec) {}

LWaveFile::~LWaveFile() = default;

std::uint32_t LWaveFile::GetFileType() {
    return 0x57617665;
}

void LWaveFile::SetFormat(std::int32_t frameCount, std::uint16_t channels,
                          std::uint16_t bytesPerSample, std::int32_t sampleRate) {
    // The sizes in 64 bits: channels x bytes per sample alone can pass 32 bits. A negative
    // frame count is a count of 2^31 or more as the KOB header stores it, far too many.
    const std::int64_t frameBytes = std::int64_t{channels} * bytesPerSample;
    const std::int64_t dataBytes = frameBytes * frameCount;
    if (frameCount < 0 || kHeaderSize + dataBytes > INT32_MAX)
        throw static_cast<std::int32_t>(kUnsupportedFormat);

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
}

void LWaveFile::WriteSamples(std::int32_t firstFrame, std::int32_t frameCount,
                             std::uint16_t channel, const std::uint8_t* samples) {
    // Tested first: with 0 bytes per sample (or no format yet) there is no frame size to
    // divide or multiply by.
    if (mBytesPerSample != 2) throw static_cast<std::int32_t>(kUnsupportedFormat);
    if (channel < 1 || channel > mChannels) return;

    // Only the frames of the sound are written; the rest of the run is dropped.
    const std::int64_t first = firstFrame;
    const std::int64_t start = std::max<std::int64_t>(first, 0);
    const std::int64_t stop = std::min<std::int64_t>(first + frameCount, mFrameCount);
    if (start >= stop) return;

    const std::int64_t frameBytes = std::int64_t{mChannels} * 2;
    const std::int64_t offset64 = kHeaderSize + frameBytes * start;
    const std::int64_t size64 = frameBytes * (stop - start);
    // WATCHOUT: SetFormat refused every sound whose file passes INT32_MAX bytes, so this holds
    // for every frame below mFrameCount; it stays as the guard of the 32-bit markers below.
    if (offset64 + size64 > INT32_MAX) throw static_cast<std::int32_t>(kUnsupportedFormat);
    const auto offset = static_cast<std::int32_t>(offset64);
    const auto size = static_cast<std::int32_t>(size64);

    HeapBlock buffer(size);
    std::uint8_t* frames = buffer.Bytes();
    if (channel > 1) {
        // The earlier channels of these frames are in the file already; read them back.
        SetMarker(offset, 0);
        std::int32_t count = size;
        const std::int32_t code = GetBytes(frames, count);
        if (code != 0) throw code;
        // A read that stops at the end of the file reports success; whatever the file does not
        // hold yet (here or past a shorter count) becomes zero, never stale heap bytes.
        const std::int64_t readable = std::max<std::int64_t>(0, std::min(size, count));
        const std::int64_t held =
            std::clamp<std::int64_t>(std::int64_t{GetLength()} - offset, 0, readable);
        ZeroBlock(frames + held, static_cast<std::int32_t>(size - held));
    } else {
        ZeroBlock(frames, size);
    }

    // Sample i of the input is big-endian; in the frame it goes low byte first.
    const std::uint8_t* in = samples + 2 * (start - first);
    std::uint8_t* out = frames + 2 * (channel - 1);
    for (std::int64_t i = 0; i < stop - start; ++i) {
        out[i * frameBytes] = in[2 * i + 1];
        out[i * frameBytes + 1] = in[2 * i];
    }

    SetMarker(offset, 0);
    PutBlock(frames, size);
}
