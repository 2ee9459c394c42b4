// LWaveFile: writes a RIFF WAVE file of 16-bit PCM samples, little-endian, channels interleaved
// by frame, behind a 44-byte header.
//
//     LWaveFile out(spec);
//     out.CreateAudioFile(creator, out.GetFileType());
//     out.SetFormat(1000, 2, 2, 44100);        // the header
//     out.WriteSamples(0, 500, 1, left);       // frames 0..499, channel 2 set to 0
//     out.WriteSamples(0, 500, 2, right);      // channel 2 filled in
//     out.WriteHeldFrames();                   // before FinishDataFork: a failure is thrown
//
// A channel-1 run sets its frames whole, the other channels zero; a later channel changes only
// its own two bytes in each frame and keeps what is there (zero where the file holds nothing
// yet). The header's sizes come from SetFormat, not from the samples written.
//
// The writer keeps a stretch of frames in memory, at most heldBytes (one frame at the least),
// and writes it into the file once it must make room, so the usual order (channel 1 of a run,
// then the other channels of the same frames) costs one write and no read. A run wider than the
// stretch goes through it in slices, so memory never grows with the channel count or the run's
// length. Frames that leave memory before every channel has come are read back when a later
// channel needs them. Held frames reach the file through WriteHeldFrames, CloseDataFork or the
// destructor; only the first reports a failure.
//
// Nothing is ever written outside the sound: a run for a channel outside 1..channels is not
// written, and frames below 0 or at or beyond the frame count are dropped. A format whose file
// would pass 2^31 - 1 bytes is refused by SetFormat with kUnsupportedFormat before the
// header is written; WriteSamples throws the same code, writing nothing, unless there are 2
// bytes per sample.
#pragma once

#include <cstdint>
#include <memory>

#include "stream/HeapBlock.h"
#include "stream/LAudioFile.h"

class LWaveFile : public LAudioFile {
public:
    // Most bytes of frames held in memory: 256 KiB, 65,536 stereo frames, a whole block of up to
    // 16 channels. More costs more than it saves: every page of it is new memory the system must
    // map on first touch (on some virtual machines 10 microseconds a page), and a stretch this
    // size stays in the processor's cache between the interleaving and the write.
    static constexpr std::int32_t kHeldBytes = 1 << 18;

    explicit LWaveFile(const FileSpec& spec, std::int32_t heldBytes = kHeldBytes);
    // Writes the held frames, as CloseDataFork does.
    ~LWaveFile() override;

    void SetFormat(std::int32_t frameCount, std::uint16_t channels, std::uint16_t bytesPerSample,
                   std::int32_t sampleRate) override;
    void WriteSamples(std::int32_t firstFrame, std::int32_t frameCount, std::uint16_t channel,
                      const std::uint8_t* samples) override;
    // Silence in every channel of these frames, as a channel-1 run of zeros writes it. Frames
    // the file does not reach yet are left as a hole where the file system makes one: the file
    // reads the same, and a long stretch of silence costs neither disk nor time.
    void WriteSilence(std::int32_t firstFrame, std::int32_t frameCount);
    // Whether WriteFrames takes whole frames of this many channels: the format is 16-bit, of
    // exactly as many.
    bool TakesFrames(std::uint16_t channels) const { return mBytesPerSample == 2 && mChannels == channels && channels > 0; }
    // Frames firstFrame..firstFrame + frameCount - 1, whole and ready as the file holds them, all
    // within the sound: written as they stand, after the held frames.
    void WriteFrames(std::int64_t firstFrame, std::int64_t frameCount, const std::uint8_t* frames);
    // The same for frames that lie in two pieces of memory: `firstCount` frames at `first`, then
    // `secondCount` at `second` (none: null), in one write.
    void WriteFrames(std::int64_t firstFrame, const std::uint8_t* first, std::int64_t firstCount,
                     const std::uint8_t* second, std::int64_t secondCount);
    // 0x57617665, the characters W, a, v, e.
    std::uint32_t GetFileType() override;
    // The stream unbuffered: the frames go out a stretch at a time, each a write of its own at a
    // position set first, and a buffered stream would read the bytes before each position.
    std::FILE* OpenDataFork(std::int16_t permission) override;
    // Writes the held frames first; a failure is traced on standard error, as a close never
    // throws.
    void CloseDataFork() override;

    // Writes the frames held in memory into the file. A failed seek throws kBadPosition, a failed write
    // the runtime's error number; the frames are not tried again.
    void WriteHeldFrames();

    // Size of the header in front of the first frame.
    static constexpr std::int32_t kHeaderSize = 44;

private:
    // Makes frames start..stop (stop - start at most mHeldCapacity) part of the held stretch,
    // writing out what was held before when they do not fit beside it. Frames that the caller
    // is about to set whole (overwritten) need not be loaded.
    void Hold(std::int64_t start, std::int64_t stop, bool overwritten);
    // Fills held frames from..to with what the file holds there, zero beyond its end.
    void Load(std::int64_t from, std::int64_t to);
    void WriteHeldFramesQuietly(const char* where) noexcept;
    // Writes `size` bytes of whole frames at file offset `offset`, and `restSize` more from `rest`
    // right behind them in the same write, room asked for ahead.
    void WriteStretch(std::int64_t offset, const std::uint8_t* frames, std::int64_t size,
                      const std::uint8_t* rest = nullptr, std::int64_t restSize = 0);
    // Asks for the file's room up to end and a stretch beyond, before a write of start..end:
    // a file system that finds blocks a stretch at a time, rather than one for each page written
    // (ext4's delayed allocation), takes a third less time for the writes. Never beyond the end
    // of the sound, nor where silence is left as a hole, and never more than twice what is
    // written, so a damaged header that declares gigabytes costs no disk for them; a file system
    // that cannot reserve is written as before.
    void ReserveAhead(std::int64_t start, std::int64_t end);
    std::int64_t FrameBytes() const { return std::int64_t{mChannels} * 2; }
    std::uint8_t* HeldFrame(std::int64_t frame) const {
        return mHeld->Bytes() + (frame - mHeldFirst) * FrameBytes();
    }

    // The held stretch: frames mHeldFirst..mHeldEnd, each as the file must finally hold it;
    // frames mChangedFirst..mChangedEnd of them differ from the file (none when the two are
    // equal). mFileEnd is the file's length as this writer made it. WATCHOUT: every frame of
    // the file that is not held is up to date in the file, so a frame that leaves memory must
    // be written first, and mFileEnd, not the runtime, tells where the file's bytes end (no
    // status query per write).
    std::int32_t mHeldLimit;           // heldBytes from construction
    std::unique_ptr<HeapBlock> mHeld;  // room for mHeldCapacity frames, made at the first run
    std::int64_t mHeldCapacity = 0;    // frames the block holds
    std::int64_t mHeldFirst = 0;       // first frame held
    std::int64_t mHeldEnd = 0;         // frame behind the last one held
    std::int64_t mChangedFirst = 0;    // first frame not yet written out
    std::int64_t mChangedEnd = 0;      // frame behind the last one not yet written out
    std::int64_t mFileEnd = 0;         // bytes in the file
    std::int64_t mReservedEnd = 0;     // room asked for up to here
    bool mReserving = true;            // until the file system refuses
};
