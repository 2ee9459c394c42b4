// Placement of entries, blocks and trailing data, the chain between entries, and the named
// kinds of damage.
#include "tests/tools/KobReading.h"
#include "tests/tools/Signals.h"
#include "tools/kobenc/Damage.h"
#include "tools/kobenc/KobSerialiser.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kobenc;
using namespace kobtest;

namespace {

Recording Short(unsigned seed, std::size_t frames = 3000) {
    Recording r;
    r.storedName = "take" + std::to_string(seed);
    r.samples = Noise(frames, seed, 1000);
    r.trailer = {1, 2, 3};
    return r;
}

bool HeaderAt(const Bytes& b, std::size_t at) { return std::memcmp(&b[at], "KOB1MRFC", 8) == 0; }

} // namespace

TEST(Layout, PiecesFollowEachOtherAfterLeadingBytes) {
    KobFile file = Encode({Short(1), Short(2)}, {});
    file.leadingBytes.assign(128, 0xEE);
    file.entries[1].gapBefore = 10;
    file.trailingBytes = {0xAB, 0xCD};
    const KobImage image = Serialise(file);
    const Bytes& b = image.bytes;
    const EntryPlacement& e0 = image.layout.entries[0];
    const EntryPlacement& e1 = image.layout.entries[1];

    EXPECT_EQ(e0.headerOffset, 128u);
    EXPECT_TRUE(HeaderAt(b, 128));
    EXPECT_EQ(BE32(b, 128 + 308), 528u) << "positions count the leading bytes";
    EXPECT_EQ(e0.trailerOffset, 528 + e0.blockDataLength);
    EXPECT_EQ(e1.headerOffset, e0.trailerOffset + 3 + 10);
    for (std::size_t at = e0.trailerOffset + 3; at < e1.headerOffset; ++at) EXPECT_EQ(b[at], 0);
    EXPECT_EQ(BE32(b, 128 + 12), e1.headerOffset);
    EXPECT_EQ(b.size(), e1.trailerOffset + 3 + 2u);
    EXPECT_EQ(b[b.size() - 2], 0xAB);
    // Both entries restore from where their headers say their blocks are.
    EXPECT_EQ(RestoreEntry(b, e0.headerOffset).samples, Short(1).samples);
    EXPECT_EQ(RestoreEntry(b, e1.headerOffset).samples, Short(2).samples);
}

TEST(Layout, EntriesAtChosenPositionsInAnyOrder) {
    KobFile file = Encode({Short(1, 100), Short(2, 100), Short(3, 100)}, {});
    file.leadingBytes.assign(5, 0x11);
    file.entries[0].headerPosition = 20000;  // the first in the chain lies last in the file
    file.entries[1].headerPosition = 10000;
    file.entries[2].headerPosition = 5;
    file.entries[2].blockPosition = 3000;    // its blocks well away from its header
    file.entries[2].trailerPosition = 2000;
    const KobImage image = Serialise(file);
    const Bytes& b = image.bytes;
    EXPECT_TRUE(HeaderAt(b, 20000));
    EXPECT_TRUE(HeaderAt(b, 10000));
    EXPECT_TRUE(HeaderAt(b, 5));
    EXPECT_EQ(BE32(b, 20000 + 12), 10000u);
    EXPECT_EQ(BE32(b, 10000 + 12), 5u);
    EXPECT_EQ(BE32(b, 5 + 12), 0u);
    EXPECT_EQ(BE32(b, 5 + 308), 3000u);
    EXPECT_EQ(BE32(b, 5 + 316), 2000u);
    EXPECT_EQ(image.layout.entries[2].blocks[0].offset, 3000u);
    EXPECT_EQ(0, std::memcmp(&b[3000], "KOB!", 4));
    EXPECT_EQ(RestoreEntry(b, 5).samples, Short(3, 100).samples);
    EXPECT_EQ(RestoreEntry(b, 20000).samples, Short(1, 100).samples);
}

TEST(Layout, ChainMayPointAnywhere) {
    KobFile file = Encode({Short(1, 10), Short(2, 10)}, {});
    file.entries[1].nextEntry = 0;           // back at the first entry
    file.entries[0].nextEntry = 0xFFFFFF00u; // far past the end: the rest is never reached
    const KobImage image = Serialise(file);
    EXPECT_EQ(BE32(image.bytes, 12), 0xFFFFFF00u);
    EXPECT_EQ(image.layout.entries[0].nextEntry, 0xFFFFFF00u);
    EXPECT_EQ(BE32(image.bytes, image.layout.entries[1].headerOffset + 12), 0u);
    EXPECT_TRUE(EntryChecksumValid(image.bytes, 0));
}

TEST(Layout, OverlappingPiecesAreRefused) {
    KobFile file = Encode({Short(1, 10), Short(2, 10)}, {});
    file.entries[1].headerPosition = 200; // inside the first header
    EXPECT_THROW(Serialise(file), std::invalid_argument);
    file.entries[1].headerPosition.reset();
    file.leadingBytes.assign(10, 0);
    file.entries[0].headerPosition = 4;
    EXPECT_THROW(Serialise(file), std::invalid_argument);
}

TEST(Layout, EntryWithoutFramesOrTrailer) {
    Recording empty;
    const KobImage image = EncodeToImage({empty});
    EXPECT_EQ(image.bytes.size(), 400u);
    EXPECT_EQ(BE32(image.bytes, 296), 0u);
    EXPECT_EQ(BE32(image.bytes, 304), 0u);
    EXPECT_EQ(BE32(image.bytes, 312), 0u);
    EXPECT_EQ(BE32(image.bytes, 316), 0u) << "no trailing data, no position";
    Recording ragged;
    ragged.channelCount = 2;
    ragged.samples = {1, 2, 3};
    EXPECT_THROW(EncodeToImage({ragged}), std::invalid_argument);
}

TEST(Damage, EachBlockDamageBreaksOneCheck) {
    const Recording r = Short(4);
    const Bytes good = EncodeToImage({r}).bytes;
    const std::size_t at = 400; // first block
    for (BlockDamage kind : {BlockDamage::DataChecksum, BlockDamage::PackedBit, BlockDamage::Magic,
                             BlockDamage::HeaderCheck, BlockDamage::PackedLength, BlockDamage::UnpackedLength}) {
        KobFile file = Encode({r}, {});
        Damage(file.entries[0].blocks[0], kind);
        const Bytes b = Serialise(file).bytes;
        const bool magic = std::memcmp(&b[at], "KOB!", 4) == 0;
        EXPECT_EQ(magic, kind != BlockDamage::Magic);
        EXPECT_EQ(BlockCheckValid(b, at), kind != BlockDamage::HeaderCheck) << "header check follows the fields";
        EXPECT_EQ(BE16(b, at + 16), kind == BlockDamage::PackedLength ? 16385 : BE16(good, at + 16));
        EXPECT_EQ(BE16(b, at + 18), kind == BlockDamage::UnpackedLength ? 16385 : BE16(good, at + 18));
        if (kind == BlockDamage::DataChecksum || kind == BlockDamage::PackedBit) {
            EXPECT_NE(SamplesChecksum(DecodeBlockAt(b, at)), BE16(b, at + 20));
        }
        // Only the first block is touched.
        const std::size_t second = 400 + 22 + BE16(good, at + 16);
        EXPECT_TRUE(std::equal(good.begin() + static_cast<std::ptrdiff_t>(second), good.end(),
                               b.begin() + static_cast<std::ptrdiff_t>(second)));
    }
    BlockModel empty;
    EXPECT_THROW(Damage(empty, BlockDamage::PackedBit), std::invalid_argument);
}

TEST(Damage, EachEntryDamageBreaksOneTest) {
    for (EntryDamage kind : {EntryDamage::Magic, EntryDamage::FormatTag, EntryDamage::Version,
                             EntryDamage::HeaderChecksum}) {
        KobFile file = Encode({Short(5, 10)}, {});
        Damage(file.entries[0], kind);
        const Bytes b = Serialise(file).bytes;
        EXPECT_EQ(std::memcmp(&b[0], "KOB1", 4) == 0, kind != EntryDamage::Magic);
        EXPECT_EQ(std::memcmp(&b[4], "MRFC", 4) == 0, kind != EntryDamage::FormatTag);
        EXPECT_EQ(b[10] == 1, kind != EntryDamage::Version);
        EXPECT_EQ(EntryChecksumValid(b, 0), kind != EntryDamage::HeaderChecksum);
    }
    EXPECT_EQ(ParseEntryDamage("format"), EntryDamage::FormatTag);
    EXPECT_EQ(ParseBlockDamage("unpackedlength"), BlockDamage::UnpackedLength);
    EXPECT_FALSE(ParseBlockDamage("Checksum"));
}
