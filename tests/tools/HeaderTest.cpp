// Every header field the encoder writes, read back from the bytes at its offset.
#include "tests/tools/KobReading.h"
#include "tools/kobenc/KobSerialiser.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kobenc;
using namespace kobtest;

namespace {

Recording Stereo(std::size_t frames) {
    Recording r;
    r.storedName = "Piano.AIF";
    r.sampleRate = 22050;
    r.channelCount = 2;
    r.bytesPerSample = 3;
    r.creator = FourCC("SND!");
    r.trailerTag = 0xA1B2C3D4;
    r.trailer = {9, 8, 7, 6, 5};
    for (std::size_t f = 0; f < frames; ++f) {
        r.samples.push_back(static_cast<std::int16_t>(f * 3));
        r.samples.push_back(static_cast<std::int16_t>(-static_cast<int>(f)));
    }
    return r;
}

} // namespace

TEST(EntryHeader, FieldsLieAtTheirOffsets) {
    EncodeOptions options;
    options.blockFrames = 1000;
    const KobImage image = EncodeToImage({Stereo(2500), Stereo(10)}, options);
    const Bytes& b = image.bytes;
    const EntryPlacement& first = image.layout.entries[0];
    ASSERT_EQ(first.headerOffset, 0u);

    EXPECT_EQ(0, std::memcmp(&b[0], "KOB1MRFC", 8));
    EXPECT_TRUE(EntryChecksumValid(b, 0));
    EXPECT_EQ(BE16(b, 10), 0x0100);
    EXPECT_EQ(BE32(b, 12), image.layout.entries[1].headerOffset);
    EXPECT_EQ(BE32(b, 20), 0x534E4421u);
    EXPECT_EQ(BE32(b, 24), 0xA1B2C3D4u);
    EXPECT_EQ(b[36], 9);
    EXPECT_EQ(0, std::memcmp(&b[37], "Piano.AIF", 9));
    EXPECT_EQ(BE32(b, 292), 22050u);
    EXPECT_EQ(BE32(b, 296), 2500u);
    EXPECT_EQ(BE16(b, 300), 2);
    EXPECT_EQ(BE16(b, 302), 3);
    EXPECT_EQ(BE32(b, 308), 400u) << "blocks follow the header";
    // Three frame ranges of two channels, each packing small enough for one block.
    ASSERT_EQ(first.blocks.size(), 6u);
    const std::uint32_t blockBytes = BE32(b, 304);
    const std::uint32_t trailerAt = BE32(b, 316);
    EXPECT_EQ(trailerAt, 400 + blockBytes) << "trailing data follows the blocks";
    EXPECT_EQ(BE32(b, 312), 5u);
    EXPECT_EQ(Bytes(b.begin() + trailerAt, b.begin() + trailerAt + 5), (Bytes{9, 8, 7, 6, 5}));
    // The next entry starts right after the trailing data and ends the chain.
    EXPECT_EQ(image.layout.entries[1].headerOffset, trailerAt + 5);
    EXPECT_EQ(BE32(b, trailerAt + 5 + 12), 0u);
    EXPECT_EQ(image.layout.fileLength, b.size());

    // Bytes the reader skips stay zero; the stored name is zero-filled to its end.
    for (std::size_t at : {16u, 17u, 18u, 19u, 28u, 35u, 46u, 291u, 320u, 399u}) EXPECT_EQ(b[at], 0) << at;
}

TEST(EntryHeader, StoredNameTakesAnyBytesUpTo255) {
    Recording r;
    r.storedName = std::string(300, 'n');
    EntryModel entry = EncodeEntry(r);
    Bytes b = Serialise({{}, {entry}, {}}).bytes;
    EXPECT_EQ(b[36], 255);
    EXPECT_EQ(b[37 + 254], 'n');
    EXPECT_EQ(BE32(b, 292), 44100u) << "the name never spills into the sample rate";

    entry.storedName = std::string("ab\0cd", 5);
    entry.nameLength = 3;
    b = Serialise({{}, {entry}, {}}).bytes;
    EXPECT_EQ(b[36], 3);
    EXPECT_EQ(0, std::memcmp(&b[37], "ab\0cd", 5));
    EXPECT_TRUE(EntryChecksumValid(b, 0));
}

TEST(EntryHeader, ChecksumCoversPatchedAndOverriddenFields) {
    EntryModel entry = EncodeEntry(Stereo(10));
    entry.headerPatches = {{399, 0xAA}, {17, 0x55}};
    entry.version = 0x01FF;
    entry.trailerOffset = 12345;
    const Bytes b = Serialise({{}, {entry}, {}}).bytes;
    EXPECT_EQ(b[399], 0xAA);
    EXPECT_EQ(b[17], 0x55);
    EXPECT_EQ(BE16(b, 10), 0x01FF);
    EXPECT_EQ(BE32(b, 316), 12345u);
    EXPECT_TRUE(EntryChecksumValid(b, 0));
}

TEST(BlockHeader, FieldsAndCheckValues) {
    const Recording r = Stereo(2500);
    EncodeOptions options;
    options.blockFrames = 1000;
    const KobImage image = EncodeToImage({r}, options);
    const Bytes& b = image.bytes;
    std::uint32_t expectedAt = 400;
    for (const BlockPlacement& block : image.layout.entries[0].blocks) {
        const std::size_t at = block.offset;
        EXPECT_EQ(at, expectedAt);
        EXPECT_EQ(0, std::memcmp(&b[at], "KOB!", 4));
        EXPECT_TRUE(BlockCheckValid(b, at));
        EXPECT_EQ(b[at + 5], block.mode);
        EXPECT_GE(block.mode, 1);
        EXPECT_LE(block.mode, 5);
        EXPECT_EQ(b[at + 6], block.channel);
        for (std::size_t k = 7; k < 12; ++k) EXPECT_EQ(b[at + k], 0);
        EXPECT_EQ(BE32(b, at + 12), block.startFrame);
        EXPECT_EQ(BE16(b, at + 16), block.packedLength);
        EXPECT_EQ(BE16(b, at + 18), 2 * block.frameCount);
        // The data checksum is over this block's own samples, taken from the recording.
        std::vector<std::int16_t> expected;
        for (std::uint32_t f = 0; f < block.frameCount; ++f) {
            expected.push_back(r.samples[(block.startFrame + f) * 2 + block.channel - 1]);
        }
        EXPECT_EQ(BE16(b, at + 20), SamplesChecksum(expected));
        expectedAt = block.dataOffset + block.packedLength;
    }
    EXPECT_EQ(expectedAt, 400 + image.layout.entries[0].blockDataLength);
}

TEST(BlockHeader, PatchedBytesKeepTheCheckRight) {
    EntryModel entry = EncodeEntry(Stereo(10));
    entry.blocks[0].headerPatches = {{9, 0x77}};
    const Bytes b = Serialise({{}, {entry}, {}}).bytes;
    EXPECT_EQ(b[400 + 9], 0x77);
    EXPECT_TRUE(BlockCheckValid(b, 400));
}
