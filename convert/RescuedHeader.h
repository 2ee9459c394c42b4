// RescuedHeader: the entry header a recording made of a run of blocks (--rescue) is converted
// under, and the words that say what was inferred for it.
//
//     std::optional<RescuedHeader> made = InferHeader(run, hint, neighbourRate, [&] { return name; });
//     if (made) convert(made->header);   // report made->inferred
//
// Channels and length come from the blocks, unless a damaged header in front of them (`hint`)
// gives channels the blocks bear out and a length they allow: at least theirs, and exactly
// theirs when the run ends cleanly (at the end of the file or at the next entry), as then no
// tail was lost. The name comes from the hint when it can be read, else from `fallbackName`; the
// sample rate from the hint when it is plausible, else from the neighbouring entry, else 44100.
#pragma once

#include "convert/KobFormat.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A run of blocks as a survey of it found them.
struct BlockRun {
    std::int64_t first = -1;     // the first block's position
    std::int64_t end = -1;       // the end of the last block's bytes
    std::uint16_t channels = 0;  // the highest channel of its blocks
    std::int64_t frames = 0;     // the end of its furthest block
    bool endsCleanly = false;    // the end of the file or an entry header stands at `end`
};

struct RescuedHeader {
    KOBEntryHeader header;
    std::string inferred;   // "its entry header damaged; sample rate ...", for the report
};

// Empty when the recording would make a WAVE file over 2^31 - 1 bytes. `fallbackName` is called
// only when the name is needed.
std::optional<RescuedHeader> InferHeader(const BlockRun& run, const KOBEntryHeader* hint,
                                         std::optional<std::uint32_t> neighbourRate,
                                         const std::function<std::string()>& fallbackName);
