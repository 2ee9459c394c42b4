#include "tools/kobenc/KobEncoder.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace kobenc {

EntryModel EncodeEntry(const Recording& recording, const EncodeOptions& options) {
    if (options.blockFrames < 1 || options.blockFrames > kMaxBlockFrames) {
        throw std::invalid_argument("block size " + std::to_string(options.blockFrames) +
                                    " frames is not 1 to 8192");
    }
    const std::size_t channels = recording.channelCount;
    if (!recording.samples.empty() && (channels == 0 || channels > 255)) {
        throw std::invalid_argument("a recording with samples needs 1 to 255 channels");
    }
    if (channels != 0 && recording.samples.size() % channels != 0) {
        throw std::invalid_argument("samples are not a whole number of frames");
    }
    const std::size_t frames = channels == 0 ? 0 : recording.samples.size() / channels;
    if (frames > 0xFFFFFFFFu) throw std::invalid_argument("too many frames");

    EntryModel entry;
    entry.creator = recording.creator;
    entry.trailerTag = recording.trailerTag;
    entry.storedName = recording.storedName;
    entry.sampleRate = recording.sampleRate;
    entry.frameCount = static_cast<std::uint32_t>(frames);
    entry.channelCount = recording.channelCount;
    entry.bytesPerSample = recording.bytesPerSample;
    entry.trailer = recording.trailer;

    for (std::size_t first = 0; first < frames; first += options.blockFrames) {
        const std::size_t count = std::min<std::size_t>(options.blockFrames, frames - first);
        for (std::size_t channel = 0; channel < channels; ++channel) {
            std::vector<std::int16_t> run(count);
            for (std::size_t f = 0; f < count; ++f) run[f] = recording.samples[(first + f) * channels + channel];
            for (BlockModel& block : EncodeRun(static_cast<std::uint8_t>(channel + 1),
                                               static_cast<std::uint32_t>(first), run, options.block)) {
                entry.blocks.push_back(std::move(block));
            }
        }
    }
    return entry;
}

KobFile Encode(const std::vector<Recording>& recordings, const EncodeOptions& options) {
    KobFile file;
    for (const Recording& recording : recordings) file.entries.push_back(EncodeEntry(recording, options));
    return file;
}

} // namespace kobenc
