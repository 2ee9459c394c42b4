#include "convert/KobFormat.h"

#include "decode/Checksum16.h"

#include <cstring>

std::string KOBEntryHeader::storedName() const {
    // The characters run from byte 37 to the end of the field at byte 291. Only a zero byte ends
    // them early: the length byte in front of them may disagree, and it is not trusted.
    constexpr std::size_t kFirst = 37;
    constexpr std::size_t kMost = 255;
    const auto* first = reinterpret_cast<const char*>(mBytes + kFirst);
    const void* zero = std::memchr(first, 0, kMost);
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - first) : kMost;
    return std::string(first, length);
}

std::int32_t CheckEntryHeader(const KOBEntryHeader& header) {
    if (header.magic() != kEntryMagic)
        return kCodeBadEntryMagic;
    if (header.formatTag() != kEntryFormatTag)
        return kCodeBadFormatTag;
    // Byte 11, the low byte of the version, is not examined.
    if (header.mBytes[10] != kEntryVersionMajor)
        return kCodeBadVersion;
    // The checksum is computed on a copy with bytes 8 and 9 zeroed, so the caller's header keeps
    // its stored value.
    KOBEntryHeader copy = header;
    copy.mBytes[8] = 0;
    copy.mBytes[9] = 0;
    if (Checksum16(copy.mBytes, KOBEntryHeader::kSize) != header.headerChecksum())
        return kCodeBadHeaderChecksum;
    return 0;
}

std::uint16_t BlockHeaderStatus(const KOBBlockHeader& header) {
    if (header.magic() != kBlockMagic)
        return kBlockBadMagic;
    // As for the entry header, the check runs on a copy with byte 4 zeroed; the caller's header
    // is left as read.
    KOBBlockHeader copy = header;
    copy.mBytes[4] = 0;
    const auto check = static_cast<std::uint8_t>(Checksum16(copy.mBytes, KOBBlockHeader::kSize));
    if (check != header.headerCheck())
        return kBlockBadHeaderCheck;
    return kBlockGood;
}

bool IsEntryStart(const std::uint8_t* bytes) {
    return byteorder::BE32(bytes) == kEntryMagic && byteorder::BE32(bytes + 4) == kEntryFormatTag;
}

std::int32_t FindEntryStart(const std::uint8_t* bytes, std::int32_t count) {
    static constexpr std::uint8_t kSignature[kEntrySignatureSize] = {'K', 'O', 'B', '1', 'M', 'R', 'F', 'C'};
    if (count < kEntrySignatureSize) return -1;
    // The C library's search runs at memory speed, also through runs of the signature's own
    // first letter.
    const void* at = ::memmem(bytes, static_cast<std::size_t>(count), kSignature, sizeof kSignature);
    return at ? static_cast<std::int32_t>(static_cast<const std::uint8_t*>(at) - bytes) : -1;
}
