#include "convert/RescuedHeader.h"

#include "decode/Checksum16.h"
#include "platform/runtime/ByteOrder.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint32_t kAssumedRate = 44100;

bool Readable(const std::string& name) {
    if (name.empty()) return false;
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

bool PlausibleRate(std::uint32_t rate) { return rate >= 1000 && rate <= 1000000; }

bool FitsAWave(std::int64_t frames, std::int64_t channels) { return frames * channels * 2 + 44 <= INT32_MAX; }

} // namespace

std::optional<RescuedHeader> InferHeader(const BlockRun& run, const KOBEntryHeader* hint,
                                         std::optional<std::uint32_t> neighbourRate,
                                         const std::function<std::string()>& fallbackName) {
    std::vector<std::string> how;
    std::int64_t frames = run.frames;
    std::optional<std::uint32_t> rate;
    std::string name;
    if (hint) {
        how.push_back(CheckEntryHeader(*hint) == 0 ? "its blocks not where its entry header says" : "its entry header damaged");
        const bool lengthFits = run.endsCleanly ? hint->frameCount() == run.frames : hint->frameCount() >= run.frames;
        const bool borneOut = hint->channelCount() == run.channels && lengthFits && hint->bytesPerSample() == 2 &&
                              FitsAWave(hint->frameCount(), hint->channelCount());
        if (borneOut) frames = hint->frameCount();
        else how.push_back("channels and length taken from its blocks");
        if (PlausibleRate(hint->sampleRate())) rate = hint->sampleRate();
        if (Readable(hint->storedName())) name = hint->storedName();
    } else {
        how.push_back("found without its entry header, channels and length taken from its blocks");
    }
    if (!FitsAWave(frames, run.channels)) return std::nullopt;
    if (!rate) {
        rate = neighbourRate;
        how.push_back(rate ? "sample rate taken from a neighbouring entry" : "sample rate assumed to be 44100");
        if (!rate) rate = kAssumedRate;
    }
    if (name.empty()) {
        name = fallbackName();
        how.push_back("named after the KOB file");
    }

    RescuedHeader made{};
    std::uint8_t* bytes = made.header.mBytes;
    byteorder::PutBE32(bytes + 0, kEntryMagic);
    byteorder::PutBE32(bytes + 4, kEntryFormatTag);
    bytes[10] = kEntryVersionMajor;
    const std::size_t length = std::min<std::size_t>(name.size(), 254);
    bytes[36] = static_cast<std::uint8_t>(length);
    std::memcpy(bytes + 37, name.data(), length);
    byteorder::PutBE32(bytes + 292, *rate);
    byteorder::PutBE32(bytes + 296, static_cast<std::uint32_t>(frames));
    byteorder::PutBE16(bytes + 300, run.channels);
    byteorder::PutBE16(bytes + 302, 2);
    byteorder::PutBE32(bytes + 304, static_cast<std::uint32_t>(run.end - run.first));
    byteorder::PutBE32(bytes + 308, static_cast<std::uint32_t>(run.first));
    // A header that passes its own tests, like any the converter is given.
    byteorder::PutBE16(bytes + 8, Checksum16(bytes, KOBEntryHeader::kSize));
    for (const std::string& part : how) made.inferred += (made.inferred.empty() ? "" : "; ") + part;
    return made;
}
