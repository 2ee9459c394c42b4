// The structured form of a KOB file before it becomes bytes: entries with their header fields,
// blocks and trailing data, and where each piece goes in the file.
//
// Encode() (KobEncoder.h) fills a model whose every field is consistent; tests then change what
// they need and call Serialise() (KobSerialiser.h), which computes the check values from the
// final fields and reports where everything landed:
//
//     KobFile file = Encode({recording});
//     file.entries[0].blocks[2].dataChecksum ^= 1;        // one damaged block
//     file.entries[0].version = 0x0200;                    // a version the reader refuses
//     KobImage image = Serialise(file);
//     std::uint32_t third = image.layout.entries[0].blocks[2].offset;
//
// Header and block check values are always recomputed at serialisation; the *Flip fields XOR
// the stored value, so a non-zero flip makes the check fail whatever else was changed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kobenc {

constexpr std::size_t kEntryHeaderSize = 400;
constexpr std::size_t kBlockHeaderSize = 22;
// Largest packedLength and unpackedLength a reader accepts.
constexpr std::size_t kMaxBlockBytes = 16384;
constexpr std::size_t kMaxBlockFrames = kMaxBlockBytes / 2;

using ByteArray4 = std::array<std::uint8_t, 4>;
constexpr ByteArray4 kEntryMagic{'K', 'O', 'B', '1'};
constexpr ByteArray4 kFormatTag{'M', 'R', 'F', 'C'};
constexpr ByteArray4 kBlockMagic{'K', 'O', 'B', '!'};

// A raw byte put into a header at an offset after its fields are written and before its check
// value is computed. The check value's own bytes are always overwritten by the check.
using BytePatch = std::pair<std::uint16_t, std::uint8_t>;

struct BlockModel {
    ByteArray4 magic = kBlockMagic;
    std::uint8_t headerCheckFlip = 0;  // XORed into the stored header check (byte 4)
    std::uint8_t mode = 2;             // predictor mode, 1 to 5 when encoded
    std::uint8_t channel = 1;          // counted from 1
    std::uint32_t startFrame = 0;      // frame of the first sample
    std::uint16_t packedLength = 0;    // P as stored; equals packed.size() when encoded
    std::uint16_t unpackedLength = 0;  // N as stored; 2 * samples.size() when encoded
    std::uint16_t dataChecksum = 0;    // Checksum16 of the samples, big-endian
    std::vector<BytePatch> headerPatches;

    std::vector<std::uint8_t> packed;  // bytes written after the header (packed.size() of them)
    std::vector<std::int16_t> samples; // what the block restores when intact (not written)
};

struct EntryModel {
    ByteArray4 magic = kEntryMagic;
    ByteArray4 formatTag = kFormatTag;
    std::uint16_t headerChecksumFlip = 0; // XORed into the stored header checksum (bytes 8-9)
    std::uint16_t version = 0x0100;
    std::optional<std::uint32_t> nextEntry; // default: the next entry's header, 0 for the last
    std::uint32_t creator = 0;
    std::uint32_t trailerTag = 0;
    std::string storedName;                 // any bytes; at most 255 are stored
    std::optional<std::uint8_t> nameLength; // stored length byte; default: stored name length
    std::uint32_t sampleRate = 44100;       // samples per second per channel
    std::uint32_t frameCount = 0;
    std::uint16_t channelCount = 1;
    std::uint16_t bytesPerSample = 2;
    // Stored position and length fields; by default what the serialiser placed.
    std::optional<std::uint32_t> blockDataLength, blockDataOffset, trailerLength, trailerOffset;
    std::vector<BytePatch> headerPatches;

    std::vector<BlockModel> blocks; // written back to back
    std::vector<std::uint8_t> trailer;

    // Placement. Each piece goes where it is told, otherwise right after the piece written
    // before it (header, then blocks, then trailer; the first header after the leading bytes).
    std::uint32_t gapBefore = 0;                 // zero bytes before a header placed by default
    std::optional<std::uint32_t> headerPosition; // absolute file offsets
    std::optional<std::uint32_t> blockPosition;
    std::optional<std::uint32_t> trailerPosition;
};

struct KobFile {
    std::vector<std::uint8_t> leadingBytes;  // before the first entry header
    std::vector<EntryModel> entries;         // in chain order (not necessarily file order)
    std::vector<std::uint8_t> trailingBytes; // after the last byte of everything else
};

// Where a block landed, with its stored header values.
struct BlockPlacement {
    std::uint32_t offset = 0;      // file offset of the 22-byte header
    std::uint32_t dataOffset = 0;  // file offset of the packed data (offset + 22)
    std::uint8_t channel = 0;
    std::uint32_t startFrame = 0;
    std::uint32_t frameCount = 0;  // samples the block was encoded from
    std::uint16_t packedLength = 0;
    std::uint16_t unpackedLength = 0;
    std::uint8_t mode = 0;
};

// Where an entry landed. Offsets are actual positions in the file, whatever the stored fields
// were overridden to say.
struct EntryPlacement {
    std::uint32_t headerOffset = 0;
    std::uint32_t nextEntry = 0;        // as stored
    std::uint32_t blockDataOffset = 0;
    std::uint32_t blockDataLength = 0;  // header and packed bytes of all blocks
    std::uint32_t trailerOffset = 0;    // 0 when the entry has no trailing data
    std::uint32_t trailerLength = 0;
    std::vector<BlockPlacement> blocks;
};

struct Layout {
    std::vector<EntryPlacement> entries; // same order as KobFile::entries
    std::uint32_t fileLength = 0;
};

struct KobImage {
    std::vector<std::uint8_t> bytes;
    Layout layout;
};

} // namespace kobenc
