// Turns a KOB file model into its bytes and reports where every entry and block landed.
//
//     KobImage image = Serialise(file);
//     WriteBytes(path, image.bytes);
//     const BlockPlacement& b = image.layout.entries[0].blocks[3];   // b.offset, b.dataOffset, ...
//
// Check values (entry header checksum, block header check) are computed here from the final
// fields; the model's data checksums are written as they are. Pieces that would overlap are
// refused with std::invalid_argument, so a mistake in a test's placement cannot go unnoticed;
// gaps are filled with zero bytes.
#pragma once

#include "tools/kobenc/KobEncoder.h"
#include "tools/kobenc/KobModel.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kobenc {

// The stored positions and lengths an entry header gets when the model does not override them.
struct EntryPositions {
    std::uint32_t nextEntry = 0;
    std::uint32_t blockDataOffset = 0;
    std::uint32_t blockDataLength = 0;
    std::uint32_t trailerOffset = 0;
    std::uint32_t trailerLength = 0;
};

std::array<std::uint8_t, kBlockHeaderSize> BlockHeaderBytes(const BlockModel& block);
std::array<std::uint8_t, kEntryHeaderSize> EntryHeaderBytes(const EntryModel& entry, const EntryPositions& placed);

KobImage Serialise(const KobFile& file);
KobImage EncodeToImage(const std::vector<Recording>& recordings, const EncodeOptions& options = {});

// Throws std::runtime_error when the file cannot be written in full.
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace kobenc
