// LAudioFile: an audio output file that knows its sound's format and takes the decoded samples
// one run of frames of one channel at a time. LWaveFile is its concrete form.
//
//     LWaveFile out(spec);
//     out.CreateAudioFile(creator, out.GetFileType());   // empty file, open for read and write
//     out.SetFormat(frameCount, channels, 2, sampleRate);
//     out.WriteSamples(firstFrame, frames, channel, bigEndianSamples);
//
// Samples come in as big-endian signed 16-bit values. SetFormat must come before WriteSamples.
// A throw leaves the file open with whatever was written so far; the owner deletes it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "stream/LFileStream.h"

class LAudioFile : public LFileStream {
public:
    explicit LAudioFile(const FileSpec& spec);
    ~LAudioFile() override;

    // Creates the file empty and opens it for reading and writing (the writer reads frames
    // back); returns the open data fork. Failures throw as CreateNewFile and OpenDataFork do.
    virtual std::FILE* CreateAudioFile(std::uint32_t creator, std::uint32_t fileType);
    // Takes the sound's format; the base only stores it.
    virtual void SetFormat(std::int32_t frameCount, std::uint16_t channels,
                           std::uint16_t bytesPerSample, std::int32_t sampleRate);
    // Places frameCount big-endian samples of one channel (counted from 1) into the frames from
    // firstFrame on.
    virtual void WriteSamples(std::int32_t firstFrame, std::int32_t frameCount,
                              std::uint16_t channel, const std::uint8_t* samples) = 0;
    // Data that travels with the sound in the KOB file; the base ignores it.
    virtual void WriteTrailingData(std::int32_t code, const std::uint8_t* data);
    // Four-character code of the file type the writer produces.
    virtual std::uint32_t GetFileType() = 0;

protected:
    // The four are 0 until SetFormat sets them.
    std::int32_t mFrameCount = 0;     // sample frames in the sound
    std::int32_t mSampleRate = 0;     // frames per second
    std::uint16_t mChannels = 0;      // channels per frame
    std::uint16_t mBytesPerSample = 0; // bytes per sample
};
