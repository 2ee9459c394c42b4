#include "tools/kobenc/KobSerialiser.h"

#include "decode/Checksum16.h"
#include "tools/kobenc/ByteOrder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace kobenc {

namespace {

std::uint32_t Position(std::uint64_t value, const char* what) {
    if (value > 0xFFFFFFFFu) throw std::invalid_argument(std::string(what) + " lies beyond 4 GiB");
    return static_cast<std::uint32_t>(value);
}

struct Piece {
    std::uint64_t start;
    std::uint64_t end;
    std::string name;
};

void ApplyPatches(std::uint8_t* header, std::size_t size, const std::vector<BytePatch>& patches) {
    for (const auto& [offset, value] : patches) {
        if (offset >= size) throw std::invalid_argument("header patch at " + std::to_string(offset) + " is outside");
        header[offset] = value;
    }
}

} // namespace

std::array<std::uint8_t, kBlockHeaderSize> BlockHeaderBytes(const BlockModel& block) {
    std::array<std::uint8_t, kBlockHeaderSize> h{};
    std::copy(block.magic.begin(), block.magic.end(), h.begin());
    h[5] = block.mode;
    h[6] = block.channel;
    PutBE32(&h[12], block.startFrame);
    PutBE16(&h[16], block.packedLength);
    PutBE16(&h[18], block.unpackedLength);
    PutBE16(&h[20], block.dataChecksum);
    ApplyPatches(h.data(), h.size(), block.headerPatches);
    h[4] = 0;
    const std::uint16_t check = Checksum16(h.data(), static_cast<std::int32_t>(h.size()));
    h[4] = static_cast<std::uint8_t>((check & 0xFF) ^ block.headerCheckFlip);
    return h;
}

std::array<std::uint8_t, kEntryHeaderSize> EntryHeaderBytes(const EntryModel& entry, const EntryPositions& placed) {
    std::array<std::uint8_t, kEntryHeaderSize> h{};
    std::copy(entry.magic.begin(), entry.magic.end(), h.begin());
    std::copy(entry.formatTag.begin(), entry.formatTag.end(), h.begin() + 4);
    PutBE16(&h[10], entry.version);
    PutBE32(&h[12], entry.nextEntry.value_or(placed.nextEntry));
    PutBE32(&h[20], entry.creator);
    PutBE32(&h[24], entry.trailerTag);
    const std::size_t nameBytes = std::min<std::size_t>(entry.storedName.size(), 255);
    h[36] = entry.nameLength.value_or(static_cast<std::uint8_t>(nameBytes));
    std::memcpy(&h[37], entry.storedName.data(), nameBytes);
    PutBE32(&h[292], entry.sampleRate);
    PutBE32(&h[296], entry.frameCount);
    PutBE16(&h[300], entry.channelCount);
    PutBE16(&h[302], entry.bytesPerSample);
    PutBE32(&h[304], entry.blockDataLength.value_or(placed.blockDataLength));
    PutBE32(&h[308], entry.blockDataOffset.value_or(placed.blockDataOffset));
    PutBE32(&h[312], entry.trailerLength.value_or(placed.trailerLength));
    PutBE32(&h[316], entry.trailerOffset.value_or(placed.trailerOffset));
    ApplyPatches(h.data(), h.size(), entry.headerPatches);
    h[8] = 0;
    h[9] = 0;
    const std::uint16_t check = Checksum16(h.data(), static_cast<std::int32_t>(h.size()));
    PutBE16(&h[8], static_cast<std::uint16_t>(check ^ entry.headerChecksumFlip));
    return h;
}

KobImage Serialise(const KobFile& file) {
    KobImage image;
    std::vector<Piece> pieces;
    if (!file.leadingBytes.empty()) pieces.push_back({0, file.leadingBytes.size(), "leading bytes"});

    // First every position, because an entry's header names the next entry's position.
    std::uint64_t cursor = file.leadingBytes.size();
    for (std::size_t e = 0; e < file.entries.size(); ++e) {
        const EntryModel& entry = file.entries[e];
        const std::string name = "entry " + std::to_string(e);
        EntryPlacement placed;
        const std::uint64_t header = entry.headerPosition ? *entry.headerPosition : cursor + entry.gapBefore;
        placed.headerOffset = Position(header, "an entry header");
        pieces.push_back({header, header + kEntryHeaderSize, name + " header"});
        cursor = header + kEntryHeaderSize;

        const std::uint64_t blocks = entry.blockPosition ? *entry.blockPosition : cursor;
        std::uint64_t at = blocks;
        for (const BlockModel& block : entry.blocks) {
            BlockPlacement b;
            b.offset = Position(at, "a block");
            b.dataOffset = Position(at + kBlockHeaderSize, "a block");
            b.channel = block.channel;
            b.startFrame = block.startFrame;
            b.frameCount = static_cast<std::uint32_t>(block.samples.size());
            b.packedLength = block.packedLength;
            b.unpackedLength = block.unpackedLength;
            b.mode = block.mode;
            placed.blocks.push_back(b);
            at += kBlockHeaderSize + block.packed.size();
        }
        placed.blockDataOffset = Position(blocks, "block data");
        placed.blockDataLength = Position(at - blocks, "block data");
        if (at > blocks) pieces.push_back({blocks, at, name + " blocks"});
        cursor = at;

        if (!entry.trailer.empty() || entry.trailerPosition) {
            const std::uint64_t trailer = entry.trailerPosition ? *entry.trailerPosition : cursor;
            placed.trailerOffset = Position(trailer, "trailing data");
            placed.trailerLength = Position(entry.trailer.size(), "trailing data");
            if (!entry.trailer.empty()) {
                pieces.push_back({trailer, trailer + entry.trailer.size(), name + " trailing data"});
                cursor = trailer + entry.trailer.size();
            }
        }
        image.layout.entries.push_back(std::move(placed));
    }
    for (std::size_t e = 0; e < file.entries.size(); ++e) {
        EntryPlacement& placed = image.layout.entries[e];
        const std::uint32_t following = e + 1 < file.entries.size() ? image.layout.entries[e + 1].headerOffset : 0;
        placed.nextEntry = file.entries[e].nextEntry.value_or(following);
    }

    std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.start < b.start; });
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        if (pieces[i].start < pieces[i - 1].end) {
            throw std::invalid_argument(pieces[i].name + " overlaps " + pieces[i - 1].name);
        }
    }
    std::uint64_t end = 0;
    for (const Piece& piece : pieces) end = std::max(end, piece.end);
    const std::uint64_t total = end + file.trailingBytes.size();
    Position(total, "the end of the file");

    std::vector<std::uint8_t>& out = image.bytes;
    out.assign(static_cast<std::size_t>(total), 0);
    std::copy(file.leadingBytes.begin(), file.leadingBytes.end(), out.begin());
    for (std::size_t e = 0; e < file.entries.size(); ++e) {
        const EntryModel& entry = file.entries[e];
        const EntryPlacement& placed = image.layout.entries[e];
        EntryPositions positions{placed.nextEntry, placed.blockDataOffset, placed.blockDataLength,
                                 placed.trailerOffset, placed.trailerLength};
        const auto header = EntryHeaderBytes(entry, positions);
        std::copy(header.begin(), header.end(), out.begin() + placed.headerOffset);
        for (std::size_t b = 0; b < entry.blocks.size(); ++b) {
            const BlockModel& block = entry.blocks[b];
            const auto blockHeader = BlockHeaderBytes(block);
            std::copy(blockHeader.begin(), blockHeader.end(), out.begin() + placed.blocks[b].offset);
            std::copy(block.packed.begin(), block.packed.end(), out.begin() + placed.blocks[b].dataOffset);
        }
        if (!entry.trailer.empty()) {
            std::copy(entry.trailer.begin(), entry.trailer.end(), out.begin() + placed.trailerOffset);
        }
    }
    std::copy(file.trailingBytes.begin(), file.trailingBytes.end(), out.begin() + static_cast<std::ptrdiff_t>(end));
    image.layout.fileLength = static_cast<std::uint32_t>(total);
    return image;
}

KobImage EncodeToImage(const std::vector<Recording>& recordings, const EncodeOptions& options) {
    return Serialise(Encode(recordings, options));
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) throw std::runtime_error("cannot create " + path);
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), out);
    const bool closed = std::fclose(out) == 0;
    if (written != bytes.size() || !closed) throw std::runtime_error("cannot write all of " + path);
}

} // namespace kobenc
