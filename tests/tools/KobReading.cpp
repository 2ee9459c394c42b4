#include "tests/tools/KobReading.h"

#include "decode/Checksum16.h"
#include "decode/DecodeBlock.h"
#include "platform/runtime/ByteOrder.h"

#include <cstring>
#include <stdexcept>

namespace kobtest {

// Past the end throws, as at() does.
std::uint16_t BE16(const Bytes& bytes, std::size_t at) {
    (void)bytes.at(at + 1);
    return byteorder::BE16(bytes.data() + at);
}

std::uint32_t BE32(const Bytes& bytes, std::size_t at) {
    (void)bytes.at(at + 3);
    return byteorder::BE32(bytes.data() + at);
}

bool EntryChecksumValid(const Bytes& bytes, std::size_t at) {
    Bytes header(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + 400));
    const std::uint16_t stored = BE16(header, 8);
    header[8] = header[9] = 0;
    return Checksum16(header.data(), 400) == stored;
}

bool BlockCheckValid(const Bytes& bytes, std::size_t at) {
    Bytes header(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + 22));
    const std::uint8_t stored = header[4];
    header[4] = 0;
    return (Checksum16(header.data(), 22) & 0xFF) == stored;
}

std::uint16_t SamplesChecksum(const std::vector<std::int16_t>& samples) {
    Bytes big;
    for (std::int16_t s : samples) {
        big.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
        big.push_back(static_cast<std::uint8_t>(s));
    }
    return Checksum16(big.data(), static_cast<std::int32_t>(big.size()));
}

std::vector<std::int16_t> DecodeBlockAt(const Bytes& bytes, std::size_t at, std::uint8_t after) {
    const std::size_t packedLength = BE16(bytes, at + 16);
    const std::size_t unpackedLength = BE16(bytes, at + 18);
    if (at + 22 + packedLength > bytes.size()) throw std::out_of_range("block data runs past the file");
    Bytes packed(bytes.begin() + static_cast<std::ptrdiff_t>(at + 22),
                 bytes.begin() + static_cast<std::ptrdiff_t>(at + 22 + packedLength));
    packed.push_back(after);
    Bytes output(unpackedLength + 1, 0);
    DecodeBlock(packed.data(), output.data(), &bytes[at]);
    std::vector<std::int16_t> samples(unpackedLength / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>((output[2 * i] << 8) | output[2 * i + 1]);
    }
    return samples;
}

RestoredEntry RestoreEntry(const Bytes& bytes, std::size_t at) {
    RestoredEntry entry;
    const std::uint32_t frames = BE32(bytes, at + 296);
    const std::uint16_t channels = BE16(bytes, at + 300);
    std::size_t block = BE32(bytes, at + 308);
    entry.samples.assign(std::size_t{frames} * channels, 0);
    for (std::int64_t left = std::int64_t{frames} * channels; left > 0;) {
        const bool magic = std::memcmp(&bytes.at(block), "KOB!", 4) == 0;
        const std::vector<std::int16_t> samples = DecodeBlockAt(bytes, block, 0x00);
        if (!magic || !BlockCheckValid(bytes, block) || SamplesChecksum(samples) != BE16(bytes, block + 20)) {
            entry.allBlocksIntact = false;
        }
        if (DecodeBlockAt(bytes, block, 0xFF) != samples) entry.independentOfNextByte = false;
        const std::size_t channel = bytes.at(block + 6);
        const std::size_t start = BE32(bytes, block + 12);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (channel >= 1 && channel <= channels && start + i < frames) {
                entry.samples[(start + i) * channels + channel - 1] = samples[i];
            }
        }
        left -= static_cast<std::int64_t>(samples.size());
        block += 22 + BE16(bytes, block + 16);
        ++entry.blockCount;
    }
    return entry;
}

} // namespace kobtest
