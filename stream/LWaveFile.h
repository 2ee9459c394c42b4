// LWaveFile: writes a RIFF WAVE file of 16-bit PCM samples, little-endian, channels interleaved
// by frame, behind a 44-byte header.
//
//     LWaveFile out(spec);
//     out.CreateAudioFile(creator, out.GetFileType());
//     out.SetFormat(1000, 2, 2, 44100);        // the header
//     out.WriteSamples(0, 500, 1, left);       // frames 0..499, channel 2 set to 0
//     out.WriteSamples(0, 500, 2, right);      // read back, channel 2 filled in, rewritten
//
// A channel-1 run writes its frames whole with the other channels zero; a later channel reads
// the frames back and patches its own two bytes in each. Where the file does not hold the
// frames yet, the other channels read as zero. The header's sizes come from SetFormat, not
// from the samples written.
//
// Nothing is ever written outside the sound: a run for a channel outside 1..channels is not
// written, and frames below 0 or at or beyond the frame count are dropped. A format whose file
// would pass 2^31 - 1 bytes is refused by SetFormat with 0x57466D74 (W, F, m, t) before the
// header is written; WriteSamples throws the same code, writing nothing, unless there are 2
// bytes per sample.
#pragma once

#include "stream/LAudioFile.h"

class LWaveFile : public LAudioFile {
public:
    explicit LWaveFile(const FileSpec& spec);
    ~LWaveFile() override;

    void SetFormat(std::int32_t frameCount, std::uint16_t channels, std::uint16_t bytesPerSample,
                   std::int32_t sampleRate) override;
    void WriteSamples(std::int32_t firstFrame, std::int32_t frameCount, std::uint16_t channel,
                      const std::uint8_t* samples) override;
    // 0x57617665, the characters W, a, v, e.
    std::uint32_t GetFileType() override;

    // Size of the header in front of the first frame.
    static constexpr std::int32_t kHeaderSize = 44;
    // Thrown for a format the writer cannot write: the characters W, F, m, t.
    static constexpr std::int32_t kUnsupportedFormat = 0x57466D74;
};
