#include "convert/KobFormat.h"

#include "decode/Checksum16.h"
#include "platform/runtime/ByteOrder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

void Put16(std::uint8_t* at, std::uint32_t value) {
    byteorder::PutBE16(at, static_cast<std::uint16_t>(value));
}

// Stores the checksum of the header with bytes 8 and 9 taken as 0.
void Seal(KOBEntryHeader& header) {
    Put16(header.mBytes + 8, 0);
    Put16(header.mBytes + 8, Checksum16(header.mBytes, KOBEntryHeader::kSize));
}

// A valid entry header whose bytes are all different from zero where they carry nothing.
KOBEntryHeader GoodEntry() {
    KOBEntryHeader header;
    for (int i = 0; i < KOBEntryHeader::kSize; ++i)
        header.mBytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    std::memcpy(header.mBytes, "KOB1MRFC", 8);
    Put16(header.mBytes + 10, 0x0100);
    Seal(header);
    return header;
}

void SealBlock(KOBBlockHeader& header) {
    header.mBytes[4] = 0;
    header.mBytes[4] = static_cast<std::uint8_t>(Checksum16(header.mBytes, KOBBlockHeader::kSize));
}

KOBBlockHeader GoodBlock() {
    KOBBlockHeader header;
    for (int i = 0; i < KOBBlockHeader::kSize; ++i)
        header.mBytes[i] = static_cast<std::uint8_t>(0xF0 - i);
    std::memcpy(header.mBytes, "KOB!", 4);
    SealBlock(header);
    return header;
}

} // namespace

TEST(KobFormat, FieldsAreReadBigEndianAtTheirOffsets) {
    KOBEntryHeader entry{};
    for (int i = 0; i < KOBEntryHeader::kSize; ++i)
        entry.mBytes[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(entry.magic(), 0x00010203u);
    EXPECT_EQ(entry.formatTag(), 0x04050607u);
    EXPECT_EQ(entry.headerChecksum(), 0x0809);
    EXPECT_EQ(entry.version(), 0x0A0B);
    EXPECT_EQ(entry.nextEntry(), 0x0C0D0E0Fu);
    EXPECT_EQ(entry.creator(), 0x14151617u);
    EXPECT_EQ(entry.trailerTag(), 0x18191A1Bu);
    EXPECT_EQ(entry.sampleRate(), 0x24252627u); // 292 = 0x124
    EXPECT_EQ(entry.frameCount(), 0x28292A2Bu);
    EXPECT_EQ(entry.channelCount(), 0x2C2D);
    EXPECT_EQ(entry.bytesPerSample(), 0x2E2F);
    EXPECT_EQ(entry.blockDataLength(), 0x30313233u);
    EXPECT_EQ(entry.blockDataOffset(), 0x34353637u);
    EXPECT_EQ(entry.trailerLength(), 0x38393A3Bu);
    EXPECT_EQ(entry.trailerOffset(), 0x3C3D3E3Fu);

    KOBBlockHeader block{};
    for (int i = 0; i < KOBBlockHeader::kSize; ++i)
        block.mBytes[i] = static_cast<std::uint8_t>(0xA0 + i);
    EXPECT_EQ(block.magic(), 0xA0A1A2A3u);
    EXPECT_EQ(block.headerCheck(), 0xA4);
    EXPECT_EQ(block.mode(), 0xA5);
    EXPECT_EQ(block.channel(), 0xA6);
    EXPECT_EQ(block.startFrame(), 0xACADAEAFu);
    EXPECT_EQ(block.packedLength(), 0xB0B1);
    EXPECT_EQ(block.unpackedLength(), 0xB2B3);
    EXPECT_EQ(block.dataChecksum(), 0xB4B5);
}

TEST(KobFormat, StoredNameEndsAtTheFirstZeroWhateverTheLengthByteSays) {
    KOBEntryHeader entry = GoodEntry();
    std::memset(entry.mBytes + 36, 0, 256);
    entry.mBytes[36] = 3;
    std::memcpy(entry.mBytes + 37, "Piano.AIF", 9);
    EXPECT_EQ(entry.storedName(), "Piano.AIF");

    entry.mBytes[36] = 200;
    entry.mBytes[37 + 4] = 0;
    EXPECT_EQ(entry.storedName(), "Pian");

    entry.mBytes[37] = 0;
    EXPECT_EQ(entry.storedName(), "");

    // No zero at all: the name stops at the end of its field, before sampleRate.
    std::memset(entry.mBytes + 37, 'n', 255);
    EXPECT_EQ(entry.storedName(), std::string(255, 'n'));
}

TEST(KobFormat, EntryTestsRunInOrderAndTheFirstFailureCounts) {
    EXPECT_EQ(CheckEntryHeader(GoodEntry()), 0);

    // Each change below also spoils the checksum, and all but the first spoil a later test too.
    KOBEntryHeader entry = GoodEntry();
    entry.mBytes[100] = static_cast<std::uint8_t>(entry.mBytes[100] ^ 0x10);
    entry.mBytes[3] = '2';
    entry.mBytes[7] = 'D';
    entry.mBytes[10] = 2;
    EXPECT_EQ(CheckEntryHeader(entry), kCodeBadEntryMagic);
    entry.mBytes[3] = '1';
    EXPECT_EQ(CheckEntryHeader(entry), kCodeBadFormatTag);
    entry.mBytes[7] = 'C';
    EXPECT_EQ(CheckEntryHeader(entry), kCodeBadVersion);
    entry.mBytes[10] = 1;
    EXPECT_EQ(CheckEntryHeader(entry), kCodeBadHeaderChecksum) << "the stored checksum is stale";
}

TEST(KobFormat, OnlyTheVersionHighByteIsExamined) {
    for (std::uint32_t version : {0x0100u, 0x01FFu, 0x0000u, 0x0200u, 0xFF01u}) {
        KOBEntryHeader entry = GoodEntry();
        Put16(entry.mBytes + 10, version);
        Seal(entry);
        EXPECT_EQ(CheckEntryHeader(entry), (version >> 8) == 1 ? 0 : kCodeBadVersion) << std::hex << version;
    }
}

TEST(KobFormat, AnySingleByteChangeBehindTheVersionIsCaughtByTheChecksum) {
    const KOBEntryHeader good = GoodEntry();
    for (int offset = 8; offset < KOBEntryHeader::kSize; ++offset) {
        if (offset == 10)
            continue; // the version byte has its own test
        for (std::uint8_t flip : {std::uint8_t{0x01}, std::uint8_t{0x80}, std::uint8_t{0xFF}}) {
            KOBEntryHeader entry = good;
            entry.mBytes[offset] = static_cast<std::uint8_t>(entry.mBytes[offset] ^ flip);
            ASSERT_EQ(CheckEntryHeader(entry), kCodeBadHeaderChecksum) << "offset " << offset;
        }
    }
    KOBEntryHeader entry = good;
    EXPECT_EQ(CheckEntryHeader(entry), 0);
    EXPECT_EQ(std::memcmp(entry.mBytes, good.mBytes, KOBEntryHeader::kSize), 0) << "the check leaves the header as read";
}

TEST(KobFormat, BlockStatus) {
    const KOBBlockHeader good = GoodBlock();
    KOBBlockHeader block = good;
    EXPECT_EQ(BlockHeaderStatus(block), kBlockGood);
    EXPECT_EQ(std::memcmp(block.mBytes, good.mBytes, KOBBlockHeader::kSize), 0) << "byte 4 is kept";

    // A one-bit change anywhere up to byte 18 reaches the 8 stored bits of the checksum (the
    // checksum is linear, so this holds whatever the other bytes are). Changes in the last three
    // bytes may reach its high byte only, which is not stored.
    for (int offset = 4; offset <= 18; ++offset) {
        block = good;
        block.mBytes[offset] = static_cast<std::uint8_t>(block.mBytes[offset] ^ 0x01);
        EXPECT_EQ(BlockHeaderStatus(block), kBlockBadHeaderCheck) << "offset " << offset;
    }
    // A wrong magic is reported as such, whether the header check would pass or not.
    block = good;
    block.mBytes[3] = '1';
    EXPECT_EQ(BlockHeaderStatus(block), kBlockBadMagic);
    SealBlock(block);
    EXPECT_EQ(BlockHeaderStatus(block), kBlockBadMagic);
}

TEST(KobFormat, EntryStartIsKob1FollowedByMrfc) {
    const auto bytes = [](const char* text) { return reinterpret_cast<const std::uint8_t*>(text); };
    EXPECT_TRUE(IsEntryStart(bytes("KOB1MRFC")));
    EXPECT_FALSE(IsEntryStart(bytes("KOB1MRFD")));
    EXPECT_FALSE(IsEntryStart(bytes("MRFCKOB1")));
    EXPECT_FALSE(IsEntryStart(bytes("KOB!MRFC")));
    EXPECT_FALSE(IsEntryStart(bytes("kob1mrfc")));
}
