// Encodes recordings into a KOB file model: one entry per recording, chained in order, each
// holding its channels in blocks of consecutive frames.
//
//     Recording piano;
//     piano.storedName = "piano.aif";
//     piano.channelCount = 2;
//     piano.samples = interleaved;                 // frame by frame, channel 1 first
//     KobFile file = Encode({piano});              // change fields here for damaged files
//     KobImage image = Serialise(file);            // or EncodeToImage({piano})
//
// For every range of blockFrames frames, channel 1's block comes first, then channel 2's, and
// so on; a run whose packed data would exceed 16384 bytes becomes several blocks.
#pragma once

#include "tools/kobenc/BlockEncoder.h"
#include "tools/kobenc/ByteOrder.h"
#include "tools/kobenc/KobModel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kobenc {

struct Recording {
    std::string storedName = "sound.aif"; // any bytes; at most 255 are stored
    std::uint32_t sampleRate = 44100;
    std::uint16_t channelCount = 1;        // 1 to 255 when there are samples
    std::uint16_t bytesPerSample = 2;      // stored as is
    std::uint32_t creator = FourCC("kobp");
    std::uint32_t trailerTag = 0;
    std::vector<std::uint8_t> trailer;     // the entry's trailing data
    std::vector<std::int16_t> samples;     // interleaved frames; a whole number of them
};

struct EncodeOptions {
    std::uint32_t blockFrames = 4096; // frames per block, 1 to 8192
    BlockOptions block;               // forced mode and width
};

// Throws std::invalid_argument for bad options or a recording whose samples are not a whole
// number of frames.
EntryModel EncodeEntry(const Recording& recording, const EncodeOptions& options = {});
KobFile Encode(const std::vector<Recording>& recordings, const EncodeOptions& options = {});

} // namespace kobenc
