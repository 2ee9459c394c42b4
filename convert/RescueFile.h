// RescueFile: the conversion of one KOB file under --rescue, which restores what the plain
// reader gives up on and nothing it would not vouch for: every block written has passed its
// header check and its data checksum.
//
//     RescueFile(input, inputSpec, [&](const KOBEntryHeader& header) { ConvertEntry(...); });
//
// On top of what the plain reader does, in this order:
//   1. The chain from the first entry, each entry's blocks read past damaged headers
//      (RescueBlocks.h). A header that fails its tests ends nothing: it is used when a good
//      block stands where it says its blocks start and the blocks bear out its channels and
//      length, and the chain goes on at its next entry when the header there passes its tests.
//      A chain that loops, or a header cut off, ends the chain instead of the file.
//   2. A search of the whole file for entry headers no chain reached (their chains are followed)
//      and for runs of good blocks no recording took. Each run becomes a recording of its own:
//      its channels and length from its blocks, or from a damaged header in front of it when the
//      blocks bear it out; its name from that header when it can be read, else from the KOB
//      file ("album.rescued.1"); its sample rate from that header, else from the nearest entry
//      that passed its tests, else 44100.
// Each recording goes through `convert`, the converter's own path for one entry, given a header
// that passes its tests. The report learns how each recording came back and what could not be
// found. The file is refused (the first failure's code is thrown) only when nothing was restored.
#pragma once

#include "convert/KobFormat.h"
#include "stream/FileSpec.h"
#include "stream/LStream.h"

#include <functional>

using EntryConverter = std::function<void(const KOBEntryHeader&)>;

void RescueFile(LStream& input, const FileSpec& inputSpec, const EntryConverter& convert);
