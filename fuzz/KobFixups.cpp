#include "fuzz/KobFixups.h"

#include "convert/KobFormat.h"
#include "decode/Checksum16.h"
#include "decode/DecodeBlock.h"
#include "platform/runtime/ByteOrder.h"

#include <algorithm>
#include <cstring>

namespace {

using byteorder::PutBE16;

// "KOB1" "MRFC" at bytes: an entry header starts there.
bool EntryAt(const std::uint8_t* bytes) {
    return byteorder::BE32(bytes) == kEntryMagic && byteorder::BE32(bytes + 4) == kEntryFormatTag;
}
using byteorder::PutBE32;

std::uint16_t HeaderChecksum(const std::uint8_t* header) {
    std::uint8_t copy[KOBEntryHeader::kSize];
    std::memcpy(copy, header, sizeof copy);
    copy[8] = copy[9] = 0;
    return Checksum16(copy, KOBEntryHeader::kSize);
}

std::uint8_t BlockCheck(const std::uint8_t* block) {
    std::uint8_t copy[KOBBlockHeader::kSize];
    std::memcpy(copy, block, sizeof copy);
    copy[4] = 0;
    return static_cast<std::uint8_t>(Checksum16(copy, KOBBlockHeader::kSize));
}

// Walks the blocks the converter reads for the entry at `at`, back to back from blockDataOffset,
// and fixes their check values as their byte 7 asks.
void FixUpBlocks(std::vector<std::uint8_t>& file, const KOBEntryHeader& header) {
    static std::uint8_t packed[kBlockLimit + 1];
    static std::uint8_t samples[kBlockLimit];
    std::int64_t remaining = static_cast<std::int32_t>(header.frameCount() * header.channelCount());
    std::size_t position = header.blockDataOffset();
    while (remaining > 0 && position + KOBBlockHeader::kSize <= file.size()) {
        std::uint8_t* block = file.data() + position;
        const std::uint16_t packedLength = byteorder::BE16(block + 16);
        const std::uint16_t unpackedLength = byteorder::BE16(block + 18);
        if (packedLength > kBlockLimit || unpackedLength > kBlockLimit) return;   // the file ends here
        const std::size_t dataStart = position + KOBBlockHeader::kSize;
        const std::size_t available = std::min<std::size_t>(packedLength, file.size() - dataStart);
        if ((block[7] & 2) && available == packedLength && std::memcmp(block, "KOB!", 4) == 0) {
            // As the converter decodes: the byte behind the packed data is 0.
            std::memcpy(packed, file.data() + dataStart, packedLength);
            packed[packedLength] = 0;
            std::memset(samples, 0, unpackedLength);
            DecodeBlock(packedLength ? packed : nullptr, samples, block);
            PutBE16(block + 20, Checksum16(samples, unpackedLength));
        }
        if (!(block[7] & 1)) block[4] = BlockCheck(block);
        remaining -= unpackedLength / 2;
        position = dataStart + packedLength;
    }
}

// Lowers the entry's frameCount so that its sample bytes stay within the cap. Returns whether it
// changed anything.
bool CapSampleBytes(std::uint8_t* bytes, const KobFixupLimits& limits) {
    const std::uint64_t frameBytes = std::uint64_t{byteorder::BE16(bytes + 300)} * 2;
    if (frameBytes == 0 || byteorder::BE32(bytes + 296) * frameBytes <= limits.maxSampleBytes) return false;
    PutBE32(bytes + 296, static_cast<std::uint32_t>(limits.maxSampleBytes / frameBytes));
    return true;
}

} // namespace

std::uint64_t DeclaredSampleBytes(const std::uint8_t* header) {
    return std::uint64_t{byteorder::BE32(header + 296)} * byteorder::BE16(header + 300) * 2;
}

std::vector<std::size_t> EntryStarts(const std::vector<std::uint8_t>& file) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at + KOBEntryHeader::kSize <= file.size(); ++at)
        if (EntryAt(file.data() + at)) starts.push_back(at);
    return starts;
}

void FixUpKob(std::vector<std::uint8_t>& file, const KobFixupLimits& limits) {
    if (file.size() < KOBEntryHeader::kSize) return;
    for (std::size_t at = 0; at + KOBEntryHeader::kSize <= file.size(); ++at) {
        if (!EntryAt(file.data() + at)) continue;
        std::uint8_t* bytes = file.data() + at;
        const bool wasRight = byteorder::BE16(bytes + 8) == HeaderChecksum(bytes);
        CapSampleBytes(bytes, limits);
        if (wasRight || !(bytes[16] & 1)) PutBE16(bytes + 8, HeaderChecksum(bytes));

        KOBEntryHeader header;
        std::memcpy(header.mBytes, bytes, sizeof header.mBytes);
        FixUpBlocks(file, header);
        // Fixing the blocks may have changed bytes of this very header (blocks placed over it),
        // its frameCount included: cap it again and put its checksum right again where it is
        // meant to be right.
        CapSampleBytes(bytes, limits);
        if (wasRight || !(bytes[16] & 1)) PutBE16(bytes + 8, HeaderChecksum(bytes));
    }
    // WATCHOUT: what was fixed for one entry (its checksum, its blocks) can still lie over the
    // size fields of an entry fixed before it, or even spell a new signature. A last round caps
    // every entry without touching checksums, so nothing here can undo it; rounds repeat only
    // while a cap made a new entry appear, and a capped entry's size fields are never written
    // again (two entries' size fields cannot overlap: their signatures would).
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t at = 0; at + KOBEntryHeader::kSize <= file.size(); ++at)
            if (EntryAt(file.data() + at)) changed |= CapSampleBytes(file.data() + at, limits);
    }
}
