#include "tools/kobenc/Damage.h"

#include <stdexcept>

namespace kobenc {

void Damage(BlockModel& block, BlockDamage kind) {
    switch (kind) {
    case BlockDamage::DataChecksum: block.dataChecksum ^= 0x0001; break;
    case BlockDamage::PackedBit:
        // Bit 8 is the first bit after the first group's width and count codes: the sign bit of
        // the first residual. Flipping it moves sample 0 by half the field's range, and every
        // later sample of a predicting mode with it.
        if (block.packed.size() < 2) throw std::invalid_argument("block has no residual bits to flip");
        block.packed[1] ^= 0x80;
        break;
    case BlockDamage::Magic: block.magic = {'K', 'O', 'B', '?'}; break;
    case BlockDamage::HeaderCheck: block.headerCheckFlip ^= 0x01; break;
    case BlockDamage::PackedLength: block.packedLength = static_cast<std::uint16_t>(kMaxBlockBytes + 1); break;
    case BlockDamage::UnpackedLength: block.unpackedLength = static_cast<std::uint16_t>(kMaxBlockBytes + 1); break;
    }
}

void Damage(EntryModel& entry, EntryDamage kind) {
    switch (kind) {
    case EntryDamage::Magic: entry.magic = {'K', 'O', 'B', '?'}; break;
    case EntryDamage::FormatTag: entry.formatTag = {'M', 'R', 'F', 'X'}; break;
    case EntryDamage::Version: entry.version = 0x0200; break;
    case EntryDamage::HeaderChecksum: entry.headerChecksumFlip ^= 0x0001; break;
    }
}

std::optional<BlockDamage> ParseBlockDamage(const std::string& name) {
    if (name == "checksum") return BlockDamage::DataChecksum;
    if (name == "bit") return BlockDamage::PackedBit;
    if (name == "magic") return BlockDamage::Magic;
    if (name == "headercheck") return BlockDamage::HeaderCheck;
    if (name == "packedlength") return BlockDamage::PackedLength;
    if (name == "unpackedlength") return BlockDamage::UnpackedLength;
    return std::nullopt;
}

std::optional<EntryDamage> ParseEntryDamage(const std::string& name) {
    if (name == "magic") return EntryDamage::Magic;
    if (name == "format") return EntryDamage::FormatTag;
    if (name == "version") return EntryDamage::Version;
    if (name == "checksum") return EntryDamage::HeaderChecksum;
    return std::nullopt;
}

} // namespace kobenc
