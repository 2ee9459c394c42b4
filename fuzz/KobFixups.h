// Fix-ups that let a fuzzer get past the KOB format's check values.
//
//     std::vector<std::uint8_t> file(data, data + size);
//     FixUpKob(file, limits);            // then write file and convert it
//
// A mutated file almost never carries a right 16-bit header checksum, so without help the
// fuzzer would test little more than the rejection of entry headers. FixUpKob recomputes the
// check values of every entry header in the file (every place where "KOB1" "MRFC" stands) and of
// the blocks the converter would read behind it, unless the file asks it not to, through bits in
// bytes the converter never reads:
//
//   entry header byte 16, bit 0 set: the header checksum is left as it is;
//   block header byte 7, bit 0 set: the block's header check is left as it is;
//   block header byte 7, bit 1 set: the data checksum is recomputed from the decoded packed data
//                                   (otherwise it is left, and a changed block reads as damaged).
//
// It also caps an entry's sample bytes (frameCount x channelCount x 2) at limits.maxSampleBytes
// by lowering frameCount, keeping the header checksum right when it was right before, so that
// one small input cannot make the converter write gigabytes of silence. The cap holds for every
// entry of the result, also where the fixes of one entry lie over the header of another (its
// checksum may then be wrong). Only these bytes change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct KobFixupLimits {
    std::uint32_t maxSampleBytes = 1u << 18;   // most sample bytes one entry may declare
};

// frameCount x channelCount x 2 of the entry header at `header` (400 bytes).
std::uint64_t DeclaredSampleBytes(const std::uint8_t* header);

void FixUpKob(std::vector<std::uint8_t>& file, const KobFixupLimits& limits = {});

// The positions of every whole 400-byte entry header in the file ("KOB1" "MRFC" and room for
// the rest), in order.
std::vector<std::size_t> EntryStarts(const std::vector<std::uint8_t>& file);
