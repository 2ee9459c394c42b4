// BlockScanner: finds, from a position of a KOB file on, the next place where a block header
// that passes its own tests or the signature of an entry header stands.
//
//     SignatureFind find = FindSignature(input, from);
//     if (find.kind == SignatureFind::Kind::kBlock) ... find.header, find.position ...
//
// It reads the input 32 KiB at a time and searches each chunk in memory for "KOB", the three
// bytes both signatures begin with, so it runs at the speed of the search for the first entry and
// holds nothing but one chunk, whatever the file. A block header counts only when its magic is
// "KOB!" and its header check is right; its lengths and channel are the caller's to judge.
#pragma once

#include "convert/KobFormat.h"
#include "stream/LStream.h"

#include <cstdint>

struct SignatureFind {
    enum class Kind {
        kNone,    // nothing before the end of the file (or the position limit)
        kBlock,   // a block header whose magic and check are right
        kEntry,   // "KOB1" "MRFC": the start of an entry header, good or not
    };
    Kind kind = Kind::kNone;
    std::int64_t position = 0;
    KOBBlockHeader header{};   // for kBlock
};

// Positions are 32-bit: nothing at or beyond 2^31 is searched.
inline constexpr std::int64_t kPositionLimit = std::int64_t{INT32_MAX} + 1;

// The first find at a position from `from` on, below `until`. A read that fails other than at
// the end of the file throws its code.
SignatureFind FindSignature(LStream& input, std::int64_t from, std::int64_t until = kPositionLimit);

// Reads the block header at `position`; false when 22 bytes are not there.
bool PeekBlockHeader(LStream& input, std::int64_t position, KOBBlockHeader& header);

// Whether the input holds a block header that passes its tests or an entry's signature
// anywhere: a file refused by the plain reader that --rescue may restore part of. A read error
// counts as none.
bool HoldsSignatures(LStream& input);
