// Named ways to damage a block or an entry of a KOB file model, shared by kobpack's --damage
// options and the tests. Each one breaks exactly one check a reader makes.
//
//     Damage(file.entries[0].blocks[3], BlockDamage::DataChecksum);
//     Damage(file.entries[1], EntryDamage::Version);
//     std::optional<BlockDamage> kind = ParseBlockDamage("checksum");
#pragma once

#include "tools/kobenc/KobModel.h"

#include <optional>
#include <string>

namespace kobenc {

enum class BlockDamage {
    DataChecksum,   // "checksum": the stored data checksum no longer matches the samples
    PackedBit,      // "bit": the top bit of the first residual flips, so sample 0 comes out wrong
    Magic,          // "magic": "KOB?" instead of "KOB!"
    HeaderCheck,    // "headercheck": the stored header check is off
    PackedLength,   // "packedlength": P stored as 16385, one above the limit
    UnpackedLength, // "unpackedlength": N stored as 16385, one above the limit
};

enum class EntryDamage {
    Magic,          // "magic": "KOB?" instead of "KOB1"
    FormatTag,      // "format": "MRFX" instead of "MRFC"
    Version,        // "version": 0x0200
    HeaderChecksum, // "checksum": the stored header checksum is off
};

// PackedBit needs a block with packed data; it throws std::invalid_argument otherwise.
void Damage(BlockModel& block, BlockDamage kind);
void Damage(EntryModel& entry, EntryDamage kind);

std::optional<BlockDamage> ParseBlockDamage(const std::string& name);
std::optional<EntryDamage> ParseEntryDamage(const std::string& name);

} // namespace kobenc
