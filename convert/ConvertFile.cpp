#include "convert/ConvertFile.h"

#include "convert/BatchReport.h"
#include "convert/BlockQueue.h"
#include "convert/DamageListing.h"
#include "convert/KobFormat.h"
#include "convert/OutputNames.h"
#include "convert/RescueBlocks.h"
#include "convert/RescueFile.h"
#include "convert/RunOptions.h"
#include "platform/runtime/Crt.h"
#include "stream/HeapBlock.h"
#include "stream/LFile.h"
#include "stream/LWaveFile.h"
#include "stream/OutputNaming.h"
#include "ui/ProgressPanel.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>

namespace {

constexpr std::int32_t kEndOfFile = 6;
constexpr std::int32_t kWaveCreateFailed = 0x57466D74;
constexpr std::int32_t kBufferLimit = 0x4000;   // largest packed data and samples of one block

// The end of the frames a block's samples land on, as the writer places them: its first frame
// taken as the writer takes it (a signed 32-bit number), and only frames from 0 up to
// frameCount. 0 when the block lands on none.
std::int64_t WrittenEnd(std::uint32_t startFrame, std::int32_t frames, std::uint32_t frameCount) {
    const std::int64_t first = static_cast<std::int32_t>(startFrame);
    const std::int64_t start = std::max<std::int64_t>(first, 0);
    const std::int64_t stop = std::min<std::int64_t>(first + frames, frameCount);
    return start < stop ? stop : 0;
}

// The furthest frame that blocks have written, so that an entry whose blocks stop short can be
// completed with silence from there.
struct Coverage {
    std::int64_t end = 0;
    void Add(std::uint32_t startFrame, std::int32_t frames, std::uint32_t frameCount) {
        end = std::max(end, WrittenEnd(startFrame, frames, frameCount));
    }
};

std::int32_t ReadEntryHeader(LStream& input, std::int32_t position, KOBEntryHeader& header) {
    input.SetMarker(position, 0);
    std::int32_t count = KOBEntryHeader::kSize;
    const std::int32_t result = input.GetBytes(header.mBytes, count);
    if (count == 0 && (result == 0 || result == kEndOfFile)) return kEndOfFile;  // the chain ends here
    if (result != 0 && result != kEndOfFile) throw result;
    // WATCHOUT: a header cut off by the end of the file is damage, not the end of the chain.
    if (count < KOBEntryHeader::kSize) throw kEndOfFile;
    return 0;
}

// Writes silence for every frame from `from` up to the entry's end and lists that stretch: the
// rest of an entry whose blocks stop before its end.
void CompleteWithSilence(LWaveFile& writer, ProgressPanel& panel, DamageListing& listing,
                         std::int64_t from, std::uint32_t frameCount, std::uint16_t channelCount) {
    if (from >= frameCount) return;
    HeapBlock silence(kBufferLimit);
    std::uint8_t* samples = silence.Bytes();
    ZeroBlock(samples, kBufferLimit);
    constexpr std::int32_t kChunk = kBufferLimit / 2;
    for (std::int64_t frame = from; frame < frameCount; frame += kChunk) {
        const auto frames = static_cast<std::int32_t>(std::min<std::int64_t>(kChunk, frameCount - frame));
        writer.WriteSamples(static_cast<std::int32_t>(frame), frames, 1, samples);
        panel.Update(static_cast<std::uint32_t>(frames) * channelCount * 2u);
    }
    listing.AddStretch(static_cast<std::int32_t>(from), static_cast<std::int32_t>(frameCount),
                       DamageListing::kNoChannel);
}

// Reads the next block header and its packed data into `block`. False when no whole header could
// be read: the blocks end there, and nothing is taken from a partial or stale header. What the
// reading throws is kept in the block, to be thrown when the blocks before it are written.
bool ReadBlock(LStream& input, QueuedBlock& block) {
    block.failure = nullptr;
    block.complaint = nullptr;
    try {
        std::int32_t count = KOBBlockHeader::kSize;
        if (input.GetBytes(block.header.mBytes, count) != 0 || count < KOBBlockHeader::kSize) return false;
        block.status = BlockHeaderStatus(block.header);
        block.headerGood = block.status == 0;
        block.shortData = false;

        const std::uint16_t packedLength = block.header.packedLength();
        if (packedLength != 0) {
            if (packedLength > kBufferLimit) {
                block.complaint = "Packed buffer too small\n";
                throw static_cast<std::int32_t>(2);
            }
            std::int32_t got = packedLength;
            const std::int32_t result = input.GetBytes(block.packed, got);
            if (block.status == 0) block.status = result;
            block.shortData = got < packedLength;
        }
        if (block.header.unpackedLength() > kBufferLimit) {
            block.complaint = "Unpacked buffer too small\n";
            throw static_cast<std::int32_t>(2);
        }
    } catch (...) {
        block.failure = std::current_exception();
    }
    return true;
}

void ConvertBlocks(LStream& input, const KOBEntryHeader& header, LWaveFile& writer,
                   ProgressPanel& panel, DamageListing& listing) {
    BlockQueue queue;
    const std::uint32_t frameCount = header.frameCount();
    const std::uint16_t channelCount = header.channelCount();
    const bool listChannels = channelCount > 1;
    Coverage coverage;   // channel-1 blocks
    Coverage written;    // blocks of every channel the entry has
    std::int32_t remaining = static_cast<std::int32_t>(frameCount * channelCount);
    bool reading = true;   // blocks remain to be read
    bool cutOff = false;
    // Under --rescue the blocks are read past damaged headers (see RescueBlocks.h).
    std::optional<RescueBlocks> rescue;
    if (RescueSession* session = CurrentRescue())
        rescue.emplace(input, frameCount, channelCount, *session, RescueBlocks::kClaim);

    for (;;) {
        // Read ahead as far as the queue goes: exactly the blocks, in exactly the order, that
        // reading one block at a time would take.
        while (reading && remaining > 0) {
            QueuedBlock* block = queue.Vacant();
            if (!block) break;
            if (rescue && !rescue->FindNext()) {
                reading = false;
                break;
            }
            if (!ReadBlock(input, *block)) {
                cutOff = true;
                reading = false;
                break;
            }
            if (rescue) rescue->Took(block->header);
            if (block->failure) reading = false;
            else remaining -= block->header.unpackedLength() / 2;
            queue.Publish();
        }
        if (queue.Empty()) break;

        QueuedBlock& block = queue.Oldest();
        if (block.failure) {
            if (block.complaint) std::fputs(block.complaint, stderr);
            std::rethrow_exception(block.failure);
        }
        const KOBBlockHeader& blockHeader = block.header;
        const std::int32_t frames = blockHeader.unpackedLength() / 2;
        if (rescue) rescue->Written(blockHeader, block.damaged, listing);
        if (block.damaged) {
            listing.AddStretch(static_cast<std::int32_t>(blockHeader.startFrame()),
                               static_cast<std::int32_t>(blockHeader.startFrame() + static_cast<std::uint32_t>(frames)),
                               listChannels ? blockHeader.channel() : DamageListing::kNoChannel);
        }
        writer.WriteSamples(static_cast<std::int32_t>(blockHeader.startFrame()), frames, blockHeader.channel(), block.samples);
        if (blockHeader.channel() == 1) coverage.Add(blockHeader.startFrame(), frames, frameCount);
        if (blockHeader.channel() >= 1 && blockHeader.channel() <= channelCount)
            written.Add(blockHeader.startFrame(), frames, frameCount);
        panel.Update(blockHeader.unpackedLength());
        queue.Release();
    }

    if (rescue) rescue->ListUnwritten(listing, cutOff ? coverage.end : written.end);
    if (cutOff) {
        CompleteWithSilence(writer, panel, listing, coverage.end, frameCount, channelCount);
    } else if (channelCount > 0) {
        // The counter can also run out on blocks that land outside the sound (damaged headers,
        // channels the entry does not have, frames past its end). The frames behind the last
        // one written would then be missing from a file whose header counts them: they become
        // silence and are listed, as for a cut-off entry.
        CompleteWithSilence(writer, panel, listing, written.end, frameCount, channelCount);
    }
}

// Copies out the entry's trailing data for the writer. Only what the input really holds past the
// trailer's position is read, so a damaged length cannot ask for gigabytes.
void CopyTrailingData(LStream& input, const KOBEntryHeader& header, LWaveFile& writer) {
    const std::uint32_t length = header.trailerLength();
    if (length == 0) return;
    const std::int64_t available = static_cast<std::int64_t>(input.GetLength()) - header.trailerOffset();
    const std::int64_t take = std::min<std::int64_t>(length, std::max<std::int64_t>(available, 0));
    HeapBlock trailing(static_cast<std::int32_t>(take));
    if (take > 0) {
        input.SetMarker(static_cast<std::int32_t>(header.trailerOffset()), 0);
        std::int32_t count = static_cast<std::int32_t>(take);
        input.GetBytes(trailing.Bytes(), count);   // whatever arrives is handed on
    }
    writer.WriteTrailingData(static_cast<std::int32_t>(header.trailerTag()), trailing.Bytes());
}

// After a failure: the entry's WAVE file goes, if this run made it (a file that took its name
// meanwhile is someone else's); a listing started for it stays when it holds a line.
void DiscardEntry(std::unique_ptr<LWaveFile>& writer, DamageListing& listing, const FileSpec& wave) {
    writer.reset();
    listing.Close();
    if (crt::IsUnfinished(FileSpecPath(wave).c_str())) RemoveSpecFile(wave);
}

// Makes the WAVE file under the first free name: one taken by someone else since it was chosen
// gives way to the next.
std::unique_ptr<LWaveFile> CreateWaveFile(OutputNames& names, const KOBEntryHeader& header) {
    std::unique_ptr<LWaveFile> writer;
    const bool made = CreateUnderFreeName(names.stem, LString255(".wav"), names.wave, [&](const FileSpec& candidate) {
        writer.reset(new (std::nothrow) LWaveFile(candidate));
        if (!writer) throw kWaveCreateFailed;
        try {
            writer->CreateAudioFile(static_cast<std::int32_t>(header.creator()), writer->GetFileType());
        } catch (std::int32_t code) {
            writer.reset();
            // Made but not opened: nothing may stay of it.
            if (crt::IsUnfinished(FileSpecPath(candidate).c_str())) RemoveSpecFile(candidate);
            if (code == EEXIST) return false;
            throw;
        }
        return true;
    });
    if (!made) throw static_cast<std::int32_t>(EEXIST);
    names.listing = names.wave;
    MakeUniqueName(names.listing, LString255(".err"));
    return writer;
}

void ConvertEntry(LStream& input, const FileSpec& inputSpec, const KOBEntryHeader& header,
                  ProgressPanel& panel) {
    OutputNames names = ChooseOutputNames(inputSpec, header);
    std::unique_ptr<LWaveFile> writer = CreateWaveFile(names, header);
    const std::string wavePath = FileSpecPath(names.wave);
    DamageListing listing(names.listing, names.wave);
    try {
        panel.Start(header.frameCount() * header.channelCount() * 2u, names.wave.mName);
        panel.Update(0);
        writer->SetFormat(static_cast<std::int32_t>(header.frameCount()), header.channelCount(),
                          header.bytesPerSample(), static_cast<std::int32_t>(header.sampleRate()));
        input.SetMarker(static_cast<std::int32_t>(header.blockDataOffset()), 0);
        ConvertBlocks(input, header, *writer, panel, listing);
        CopyTrailingData(input, header, *writer);
        // The last frames are still in the writer's memory; a failure to write them is the
        // entry's failure.
        writer->WriteHeldFrames();
        // WATCHOUT: the window stops naming the file before it is closed, because the name it
        // shows when it closes is deleted at exit, complete or not. From here until the files
        // are kept, the runtime removes them if the program is stopped.
        panel.Clear();
        // A close that cannot write out the last bytes leaves the file incomplete: a failure.
        listing.Finish();
        writer->FinishDataFork();
    } catch (std::int32_t) {
        DiscardEntry(writer, listing, names.wave);
        throw;
    } catch (const std::bad_alloc&) {
        DiscardEntry(writer, listing, names.wave);
        throw static_cast<std::int32_t>(2);
    }
    // Both at once: a stop of the file work never keeps one without the other.
    const std::string listingPath = listing.Path();
    // Told before it is kept: a stop in between removes the file, and the report, read once the
    // file work has stopped, leaves out what is still unfinished.
    TheBatchReport().Wrote({wavePath, listing.Stretches(), listing.Stretches() > 0 ? listingPath : ""});
    crt::KeepFiles({wavePath.c_str(), listingPath.c_str()});
    writer.reset();
}

} // namespace

std::int32_t FindFirstEntry(LStream& input, std::int32_t from) {
    // The input is read a chunk at a time and searched in memory. Chunks overlap by the
    // signature's length less one, so a signature across two chunks is found in the second.
    // What comes out is what eight bytes read at every position would give: the first position
    // whose eight bytes are the signature; otherwise the code of the read that fails first (6 at
    // the end of the file), as only bytes the input delivered are searched.
    // WATCHOUT: positions are 32-bit. Only bytes at positions below 2^31 are searched; an input
    // that goes on beyond them (/dev/zero, a huge file) ends the search there as if the file
    // ended: code 6. The position itself is counted in 64 bits, so it never overflows.
    constexpr std::int32_t kChunk = 32768;
    constexpr std::int32_t kOverlap = kEntrySignatureSize - 1;
    constexpr std::int64_t kPositionLimit = std::int64_t{INT32_MAX} + 1;
    std::uint8_t chunk[kChunk];
    for (std::int64_t position = from;;) {
        input.SetMarker(static_cast<std::int32_t>(position), 0);
        auto count = static_cast<std::int32_t>(std::min<std::int64_t>(kChunk, kPositionLimit - position));
        const std::int32_t result = input.GetBytes(chunk, count);
        const std::int32_t found = FindEntryStart(chunk, count);
        if (found >= 0) return static_cast<std::int32_t>(position + found);
        if (result != 0) throw result;
        if (position + count >= kPositionLimit) throw kEndOfFile;
        position += std::max(count - kOverlap, 1);
    }
}

void ConvertFile(LStream& input, const FileSpec& inputSpec) {
    ProgressPanel panel;
    if (TheRunOptions().rescue) {
        RescueFile(input, inputSpec, [&](const KOBEntryHeader& header) { ConvertEntry(input, inputSpec, header, panel); });
        return;
    }
    std::set<std::int32_t> visited;   // entry positions converted so far: a chain must not loop
    std::int32_t position = FindFirstEntry(input);
    for (;;) {
        if (!visited.insert(position).second) throw kEndOfFile;
        KOBEntryHeader header;
        if (ReadEntryHeader(input, position, header) == kEndOfFile) return;
        if (const std::int32_t code = CheckEntryHeader(header)) throw code;
        ConvertEntry(input, inputSpec, header, panel);
        position = static_cast<std::int32_t>(header.nextEntry());
        if (position == 0) return;
    }
}
