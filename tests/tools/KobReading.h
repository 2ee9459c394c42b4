// Reads KOB bytes back for the encoder's tests, written from the format's layout and not from
// the encoder: big-endian fields, check values, and the restoring of a whole entry through the
// program's block decoder.
#pragma once

#include <cstdint>
#include <vector>

namespace kobtest {

using Bytes = std::vector<std::uint8_t>;

std::uint16_t BE16(const Bytes& bytes, std::size_t at);
std::uint32_t BE32(const Bytes& bytes, std::size_t at);

// Whether the entry header at `at` carries a correct header checksum.
bool EntryChecksumValid(const Bytes& bytes, std::size_t at);
// Whether the block header at `at` carries a correct header check.
bool BlockCheckValid(const Bytes& bytes, std::size_t at);

// Checksum16 of samples written big-endian.
std::uint16_t SamplesChecksum(const std::vector<std::int16_t>& samples);

// Decodes the block whose header is at `at`, with the byte after its packed data set to `after`.
std::vector<std::int16_t> DecodeBlockAt(const Bytes& bytes, std::size_t at, std::uint8_t after = 0);

struct RestoredEntry {
    std::vector<std::int16_t> samples; // interleaved frames
    std::size_t blockCount = 0;
    bool allBlocksIntact = true;       // every magic, header check and data checksum right
    bool independentOfNextByte = true; // no block's samples depend on the byte after its data
};

// Restores the entry whose header is at `at`, walking its blocks from blockDataOffset until
// frameCount * channelCount samples are read, as a reader does.
RestoredEntry RestoreEntry(const Bytes& bytes, std::size_t at);

} // namespace kobtest
