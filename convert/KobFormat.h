// The records of the KOB format and the tests a reader applies to them.
//
// A KOB file is a chain of entries. Each entry is a 400-byte KOBEntryHeader describing one
// recording, followed somewhere in the file by its blocks: a 22-byte KOBBlockHeader and the
// block's packed data, back to back. Everything in the file is big-endian; every position is a
// byte offset from the start of the file.
//
// The records are the raw bytes as read from the file, with accessors that decode the fields:
//
//     KOBEntryHeader entry;
//     stream.GetBytes(entry.mBytes, count);            // 400 bytes
//     if (std::int32_t code = CheckEntryHeader(entry))
//         throw code;
//     std::uint32_t next = entry.nextEntry();
//
// Nothing here reads files or throws; the converter does both.
#pragma once

#include "platform/runtime/ByteOrder.h"

#include <cstdint>
#include <string>
#include <type_traits>

// Four-character codes stored in the file.
constexpr std::uint32_t kEntryMagic = 0x4B4F4231;     // "KOB1", entry header bytes 0-3
constexpr std::uint32_t kEntryFormatTag = 0x4D524643; // "MRFC", entry header bytes 4-7
constexpr std::uint32_t kBlockMagic = 0x4B4F4221;     // "KOB!", block header bytes 0-3
// The only entry format version accepted: the high byte of `version`.
constexpr std::uint8_t kEntryVersionMajor = 1;

// Codes with which a file is rejected, thrown as std::int32_t.
constexpr std::int32_t kCodeBadEntryMagic = 0x49486431;    // "IHd1": magic is not "KOB1"
constexpr std::int32_t kCodeBadFormatTag = 0x49486432;     // "IHd2": formatTag is not "MRFC"
constexpr std::int32_t kCodeBadVersion = 0x49566572;       // "IVer": version high byte is not 1
constexpr std::int32_t kCodeBadHeaderChecksum = 0x49435243; // "ICRC": headerChecksum mismatch
constexpr std::int32_t kCodeBlockTooLarge = 2; // packedLength or unpackedLength above kBlockLimit

// Most packed bytes, and most decoded sample bytes, that one block may hold.
constexpr std::int32_t kBlockLimit = 16384;

// Block statuses. A block whose status is not good is not decoded and becomes silence; it does
// not reject the file.
constexpr std::uint16_t kBlockGood = 0;
constexpr std::uint16_t kBlockBadMagic = 1;       // bytes 0-3 are not "KOB!"
constexpr std::uint16_t kBlockBadHeaderCheck = 2; // headerCheck does not match


// The header of one entry (one recording), as its 400 bytes lie in the file. Bytes 16-19, 28-35
// and 320-399 have no meaning to the reader but are covered by headerChecksum.
struct KOBEntryHeader {
    static constexpr std::int32_t kSize = 400;
    std::uint8_t mBytes[kSize];

    std::uint32_t magic() const { return byteorder::BE32(mBytes + 0); }     // "KOB1"
    std::uint32_t formatTag() const { return byteorder::BE32(mBytes + 4); } // "MRFC"
    // Checksum16 of all 400 bytes taken with bytes 8 and 9 as 0.
    std::uint16_t headerChecksum() const { return byteorder::BE16(mBytes + 8); }
    // Format version; only its high byte is examined.
    std::uint16_t version() const { return byteorder::BE16(mBytes + 10); }
    // File position of the next entry header; 0 at the last entry.
    std::uint32_t nextEntry() const { return byteorder::BE32(mBytes + 12); }
    // Creator code for the restored file (handed on, not used).
    std::uint32_t creator() const { return byteorder::BE32(mBytes + 20); }
    // Value that belongs to the trailing data (handed on with it).
    std::uint32_t trailerTag() const { return byteorder::BE32(mBytes + 24); }
    // The source file's name: the characters from byte 37 up to the first zero byte, at most
    // the 255 the field holds. The length byte at 36 is not trusted and not read.
    std::string storedName() const;
    std::uint32_t sampleRate() const { return byteorder::BE32(mBytes + 292); } // per second per channel
    std::uint32_t frameCount() const { return byteorder::BE32(mBytes + 296); } // one sample per channel
    std::uint16_t channelCount() const { return byteorder::BE16(mBytes + 300); }
    // Bytes per sample of the restored audio.
    std::uint16_t bytesPerSample() const { return byteorder::BE16(mBytes + 302); }
    // Byte count of the entry's block data (not needed for decoding).
    std::uint32_t blockDataLength() const { return byteorder::BE32(mBytes + 304); }
    // File position of the entry's first block header.
    std::uint32_t blockDataOffset() const { return byteorder::BE32(mBytes + 308); }
    // Byte count of the trailing data; 0 = none.
    std::uint32_t trailerLength() const { return byteorder::BE32(mBytes + 312); }
    // File position of the trailing data.
    std::uint32_t trailerOffset() const { return byteorder::BE32(mBytes + 316); }
};

// The header in front of each block's packed data, as its 22 bytes lie in the file. Bytes 7-11
// have no meaning to the reader.
struct KOBBlockHeader {
    static constexpr std::int32_t kSize = 22;
    std::uint8_t mBytes[kSize];

    std::uint32_t magic() const { return byteorder::BE32(mBytes + 0); } // "KOB!"
    // Low 8 bits of Checksum16 of the 22 bytes taken with byte 4 as 0.
    std::uint8_t headerCheck() const { return mBytes[4]; }
    // Predictor mode, 1 to 5; read by the decoder.
    std::uint8_t mode() const { return mBytes[5]; }
    // Channel of the samples, counted from 1.
    std::uint8_t channel() const { return mBytes[6]; }
    // Frame (counted from 0) that receives the block's first sample.
    std::uint32_t startFrame() const { return byteorder::BE32(mBytes + 12); }
    // Byte count of the packed data right behind this header.
    std::uint16_t packedLength() const { return byteorder::BE16(mBytes + 16); }
    // Byte count of the decoded samples; the block holds unpackedLength / 2 samples.
    std::uint16_t unpackedLength() const { return byteorder::BE16(mBytes + 18); }
    // Checksum16 of the unpackedLength decoded bytes, samples big-endian.
    std::uint16_t dataChecksum() const { return byteorder::BE16(mBytes + 20); }
};

static_assert(sizeof(KOBEntryHeader) == KOBEntryHeader::kSize);
static_assert(sizeof(KOBBlockHeader) == KOBBlockHeader::kSize);
static_assert(std::is_trivially_copyable_v<KOBEntryHeader> && std::is_standard_layout_v<KOBEntryHeader>);
static_assert(std::is_trivially_copyable_v<KOBBlockHeader> && std::is_standard_layout_v<KOBBlockHeader>);

// Runs the entry header's tests in their order (magic, formatTag, high byte of version,
// headerChecksum) and returns the code of the first that fails, or 0 when all pass.
std::int32_t CheckEntryHeader(const KOBEntryHeader& header);

// The status of a block header: kBlockGood, kBlockBadMagic, or kBlockBadHeaderCheck (tested
// only when the magic matched).
std::uint16_t BlockHeaderStatus(const KOBBlockHeader& header);

// Whether the 8 bytes at bytes are "KOB1" followed by "MRFC", the start of an entry header.
bool IsEntryStart(const std::uint8_t* bytes);
// The length of that signature.
inline constexpr std::int32_t kEntrySignatureSize = 8;
// The index of the first entry start wholly within count bytes, or -1 when there is none.
std::int32_t FindEntryStart(const std::uint8_t* bytes, std::int32_t count);
