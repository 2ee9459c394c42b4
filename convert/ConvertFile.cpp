#include "convert/ConvertFile.h"

#include "convert/BatchReport.h"
#include "convert/BlockQueue.h"
#include "convert/DamageListing.h"
#include "convert/EntryMemory.h"
#include "convert/KobFormat.h"
#include "convert/RingBlocks.h"
#include "convert/OutputFile.h"
#include "convert/OutputNames.h"
#include "convert/PlacedFrames.h"
#include "convert/ProgressSink.h"
#include "convert/RescueBlocks.h"
#include "convert/RescueFile.h"
#include "convert/RunOptions.h"
#include "platform/runtime/Crt.h"
#include "stream/ErrorCode.h"
#include "stream/FrameInterleave.h"
#include "stream/HeapBlock.h"
#include "stream/LFile.h"
#include "stream/LWaveFile.h"
#include "stream/OutputNaming.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
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

// Runs one piece of an output's work. A failure there is the output's, not the content's: it is
// noted for the report, with the system's reason, and thrown on. The other codes (a format the
// writer cannot write, memory) are the entry's own.
class OutputWork {
public:
    explicit OutputWork(const FileSpec& shown) : mShown(&shown) {}

    template <typename Work>
    void operator()(Work&& work) const {
        try {
            work();
        } catch (ErrorCode code) {
            Note(code);
            throw;
        }
    }

    void Note(std::int32_t code) const {
        const int reason = errno;
        int error = 0;
        if (code == 1 || code == -1) error = reason != 0 ? reason : EIO;
        // 2 is also the code of memory that could not be had: the system's ENOENT only when
        // the failed call left it.
        else if (code == 2) error = reason == ENOENT ? ENOENT : 0;
        else if (code > 2 && code < 4096) error = code;
        if (error != 0) TheBatchReport().CouldNotWrite(ShownPath(*mShown), error);
    }

private:
    const FileSpec* mShown;
};

// Writes silence for every frame from `from` up to the entry's end and lists that stretch: the
// rest of an entry whose blocks stop before its end. The bar moves in a few steps, not one per
// chunk: a damaged header may declare gigabytes of silence.
void CompleteWithSilence(LWaveFile& writer, ProgressSink& progress, DamageListing& listing, const OutputWork& output,
                         std::int64_t from, std::uint32_t frameCount, std::uint16_t channelCount) {
    if (from >= frameCount) return;
    output([&] { writer.WriteSilence(static_cast<std::int32_t>(from), static_cast<std::int32_t>(frameCount - from)); });
    constexpr std::int64_t kSteps = 64;
    const std::int64_t frames = frameCount - from;
    const std::int64_t step = std::max<std::int64_t>(kBufferLimit / 2, (frames + kSteps - 1) / kSteps);
    for (std::int64_t done = 0; done < frames; done += step)
        progress.Update(static_cast<std::uint32_t>(std::min(step, frames - done)) * channelCount * 2u);
    output([&] {
        listing.AddStretch(static_cast<std::int32_t>(from), static_cast<std::int32_t>(frameCount), DamageListing::kNoChannel);
    });
}

// Reads the next block header and its packed data into `block`. False when no whole header could
// be read: the blocks end there, and nothing is taken from a partial or stale header. What the
// reading throws is kept in the block, to be thrown when the blocks before it are written.
bool ReadBlock(LStream& input, QueuedBlock& block) {
    block.failure = nullptr;
    block.complaint = nullptr;
    block.inPlace = nullptr;
    try {
        std::int32_t count = KOBBlockHeader::kSize;
        if (input.GetBytes(block.header.mBytes, count) != 0 || count < KOBBlockHeader::kSize) return false;
        block.JudgeHeader();

        const std::uint16_t packedLength = block.header.packedLength();
        if (packedLength != 0) {
            if (packedLength > kBufferLimit) {
                block.complaint = "Packed buffer too small\n";
                throw ErrorCode{kOutOfMemory};
            }
            std::int32_t got = packedLength;
            const std::int32_t result = input.GetBytes(block.packed, got);
            if (block.status == 0) block.status = result;
            block.shortData = got < packedLength;
        }
        if (block.header.unpackedLength() > kBufferLimit) {
            block.complaint = "Unpacked buffer too small\n";
            throw ErrorCode{kOutOfMemory};
        }
    } catch (...) {
        block.failure = std::current_exception();
    }
    return true;
}

void ConvertBlocks(LStream& input, const KOBEntryHeader& header, LWaveFile& writer,
                   ProgressSink& progress, DamageListing& listing, const OutputWork& output) {
    const std::uint32_t frameCount = header.frameCount();
    const std::uint16_t channelCount = header.channelCount();
    // Under --rescue the blocks are read past damaged headers (see RescueBlocks.h), from the stream.
    std::optional<RescueBlocks> rescue;
    if (RescueSession* session = CurrentRescue())
        rescue.emplace(input, frameCount, channelCount, *session, RescueBlocks::kClaim);
    // Before the queue: the blocks it holds may point into them (and they into the memory).
    const std::uint64_t samples = std::uint64_t{frameCount} * channelCount;
    EntryMemory memory(!rescue && samples >= RingBlocks::kReadFrom);
    RingBlocks ring(input, samples, memory.ReadRing());   // none under --rescue: no memory
    PlacedFrames placed(channelCount, frameCount, !rescue && writer.TakesFrames(channelCount), memory.Frames());
    BlockQueue queue(samples);
    const bool listChannels = channelCount > 1;
    Coverage coverage;   // channel-1 blocks
    Coverage written;    // blocks of every channel the entry has
    std::int32_t remaining = static_cast<std::int32_t>(frameCount * channelCount);
    bool reading = true;   // blocks remain to be read
    bool cutOff = false;

    // Reads the next block into `block` and hands it on; false when the blocks end here.
    auto readNext = [&](QueuedBlock& block) {
        if (rescue && !rescue->FindNext()) {
            reading = false;
            return false;
        }
        if (!ring.Read(block, queue.Front()) && !ReadBlock(input, block)) {
            cutOff = true;
            reading = false;
            return false;
        }
        if (rescue) rescue->Took(block.header);
        if (block.failure) reading = false;
        else remaining -= block.header.unpackedLength() / 2;
        placed.Place(block);
        queue.Publish();
        return true;
    };

    for (;;) {
        // Read ahead as far as the queue goes: exactly the blocks, in exactly the order, that
        // reading one block at a time would take.
        while (reading && remaining > 0) {
            if (!placed.Room()) {
                if (!queue.Empty()) break;
                output([&] { placed.Flush(writer, true); });
            }
            QueuedBlock* block = queue.Vacant();
            if (!block || !readNext(*block)) break;
        }
        // A block is written once the other blocks of its frames are read.
        while (placed.MustReadOn() && reading && remaining > 0) {
            QueuedBlock* block = queue.VacantAnyway();
            if (!block || !readNext(*block)) break;
        }
        if (placed.MustReadOn()) placed.Stop();
        if (queue.Empty()) break;

        QueuedBlock& block = queue.Oldest();
        const bool placedAlready = placed.Written();
        if (block.failure) {
            if (block.complaint) std::fputs(block.complaint, stderr);
            std::rethrow_exception(block.failure);
        }
        const KOBBlockHeader& blockHeader = block.header;
        const std::int32_t frames = blockHeader.unpackedLength() / 2;
        output([&] {
            if (rescue) rescue->Written(blockHeader, block.damaged, listing);
            if (block.damaged) {
                listing.AddStretch(static_cast<std::int32_t>(blockHeader.startFrame()),
                                   static_cast<std::int32_t>(blockHeader.startFrame() + static_cast<std::uint32_t>(frames)),
                                   listChannels ? blockHeader.channel() : DamageListing::kNoChannel);
            }
            // The frames placed before it reach the file first.
            placed.Flush(writer, !placedAlready);
            if (!placedAlready) {
                // A block placed into frames that were never whole (the placing ended before the
                // rest of them came) has its samples there alone.
                if (block.frames) ChannelOf(block.frames, frames, block.frameBytes, blockHeader.channel(), block.samples);
                writer.WriteSamples(static_cast<std::int32_t>(blockHeader.startFrame()), frames, blockHeader.channel(), block.samples);
            }
        });
        if (blockHeader.channel() == 1) coverage.Add(blockHeader.startFrame(), frames, frameCount);
        if (blockHeader.channel() >= 1 && blockHeader.channel() <= channelCount)
            written.Add(blockHeader.startFrame(), frames, frameCount);
        progress.Update(blockHeader.unpackedLength());
        queue.Release();
    }

    output([&] { placed.Flush(writer, true); });
    if (rescue) output([&] { rescue->ListUnwritten(listing, cutOff ? coverage.end : written.end); });
    if (cutOff) {
        CompleteWithSilence(writer, progress, listing, output, coverage.end, frameCount, channelCount);
    } else if (channelCount > 0) {
        // The counter can also run out on blocks that land outside the sound (damaged headers,
        // channels the entry does not have, frames past its end). The frames behind the last
        // one written would then be missing from a file whose header counts them: they become
        // silence and are listed, as for a cut-off entry.
        CompleteWithSilence(writer, progress, listing, output, written.end, frameCount, channelCount);
    }
}

// Copies out the entry's trailing data for the writer. Only what the input really holds past the
// trailer's position is read, so a damaged length cannot ask for gigabytes.
void CopyTrailingData(LStream& input, const KOBEntryHeader& header, LWaveFile& writer, const OutputWork& output) {
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
    output([&] { writer.WriteTrailingData(static_cast<std::int32_t>(header.trailerTag()), trailing.Bytes()); });
}

// After a failure: the entry's WAVE file goes (it never had its name); a listing started for
// it stays, named after the WAVE file's first name, when it holds a line.
void DiscardEntry(std::unique_ptr<LWaveFile>& writer, DamageListing& listing, const FileSpec& temp) {
    writer.reset();
    listing.Close();
    char name[kPathTextSize];
    if (crt::IsUnfinished(temp.mFolder, FileSpecPathText(temp, name))) RemoveSpecFile(temp);
}

// Makes the WAVE file under a hidden name of its own beside its first free name; it gets that
// name (or the next free one) once it is complete.
std::unique_ptr<LWaveFile> CreateWaveFile(const OutputNames& names, const KOBEntryHeader& header, FileSpec& temp,
                                          struct stat& made) {
    for (int tries = 0; tries < kNameTries; ++tries) {
        temp = TemporaryNameFor(names.wave);
        std::unique_ptr<LWaveFile> writer(new (std::nothrow) LWaveFile(temp));
        if (!writer) throw kWaveCreateFailed;
        try {
            writer->CreateAudioFile(static_cast<std::int32_t>(header.creator()), writer->GetFileType());
            if (crt::IdentityOf(writer->GetDataFork(), &made) != 0) throw ErrorCode{errno};
            return writer;
        } catch (ErrorCode code) {
            writer.reset();
            // Made but not opened: nothing may stay of it.
            char name[kPathTextSize];
            if (crt::IsUnfinished(temp.mFolder, FileSpecPathText(temp, name))) RemoveSpecFile(temp);
            if (code != EEXIST) throw;
        }
    }
    throw ErrorCode{EEXIST};
}

// A check that writes nothing: the samples go nowhere, the damage is listed for the report.
std::unique_ptr<LWaveFile> CreateNowhere(FileSpec& temp) {
    temp = MakeFileSpec("/dev/null");
    auto writer = std::make_unique<LWaveFile>(temp);
    writer->OpenDataFork(2);
    return writer;
}

// The name the window shows: the output's path, its end when it is longer than the field takes.
struct ShownName {
    std::uint8_t text[256];
    explicit ShownName(const FileSpec& spec) {
        const std::string path = ShownPath(spec);
        std::size_t start = path.size() > 255 ? path.size() - 255 : 0;
        while (start < path.size() && (static_cast<unsigned char>(path[start]) & 0xC0) == 0x80) ++start;
        text[0] = static_cast<std::uint8_t>(path.size() - start);
        std::memcpy(text + 1, path.data() + start, path.size() - start);
    }
};

// The stretches of a checked recording, for the report.
std::string DescribeStretches(const DamageListing& listing) {
    std::string text;
    for (const DamageListing::Stretch& stretch : listing.Listed()) {
        if (!text.empty()) text += "; ";
        text += "frames " + std::to_string(stretch.firstFrame) + " to " + std::to_string(stretch.endFrame);
        if (stretch.channel != DamageListing::kNoChannel) text += " of channel " + std::to_string(stretch.channel);
    }
    if (listing.Stretches() > static_cast<long>(listing.Listed().size())) text += "; ...";
    return text;
}

// The entry failed after its WAVE file took its final name: the file goes back to its hidden
// name, to be removed with the rest of the entry, or is removed where it stands. Nothing of it
// stays without its listing.
void TakeBackWave(const FileSpec& wave, const char* final, const char* hidden, const struct stat& made) {
    if (!IsMadeFile(wave.mFolder, final, made)) return;
    if (crt::IsUnfinished(wave.mFolder, final) && crt::RenameUnfinished(wave.mFolder, final, hidden) == 0) return;
    RemoveSpecFile(wave);
}

// Gives the listing its name beside the WAVE file, which holds its final name but is not complete
// yet; that rename completes both.
void PublishListing(DamageListing& listing, const FileSpec& wave, const char* final, const char* hidden,
                    const struct stat& made) {
    try {
        listing.PublishBeside(
            wave, final,
            [&](const std::string& shown) {
                TheBatchReport().Wrote({ShownPath(wave), listing.Stretches(), shown, false, "", wave.mFolder, final});
            },
            [] { TheBatchReport().Withdraw(); });
    } catch (ErrorCode) {
        TakeBackWave(wave, final, hidden, made);
        throw;
    }
}

// Gives the finished WAVE file its first free name, and its listing the name beside it. The WAVE
// file takes its name first and, when it has a listing, stays unfinished until the listing's
// rename completes both at once: while it holds the name, no other copy of the program can name
// a listing after it. The report is told just before the rename that completes: a stop at any
// moment leaves both files or neither, and a report that names exactly what stayed.
void PublishEntry(const OutputNames& names, const FileSpec& temp, const struct stat& made, DamageListing& listing,
                  const OutputWork& output) {
    char hidden[kPathTextSize];
    FileSpecPathText(temp, hidden);
    output([&] {
        const bool listed = listing.HasFile();
        for (int tries = 0; tries < kNameTries; ++tries) {
            FileSpec wave = names.stem;
            MakeUniqueName(wave, LString255(".wav"));
            if (!IsMadeFile(temp.mFolder, hidden, made)) throw ErrorCode{ENOENT};
            char final[kPathTextSize];
            FileSpecPathText(wave, final);
            if (!listed) TheBatchReport().Wrote({ShownPath(wave), listing.Stretches(), "", false, "", temp.mFolder, hidden});
            errno = 0;
            const int renamed = listed ? crt::RenameUnfinished(temp.mFolder, hidden, final)
                                       : crt::RenameNoReplace(temp.mFolder, hidden, final);
            if (renamed != 0) {
                const int error = errno != 0 ? errno : EIO;
                if (!listed) TheBatchReport().Withdraw();
                // A name taken since it was chosen (another copy of the program): the next one.
                if (error == EEXIST) continue;
                throw ErrorCode{error};
            }
            // Swapped between the look and the rename: whatever was put there goes back.
            if (!IsMadeFile(wave.mFolder, final, made)) {
                if (listed)
                    crt::KeepFile(wave.mFolder, final);   // not the program's to remove at exit
                else
                    TheBatchReport().Withdraw();
                crt::RenameNoReplace(wave.mFolder, final, hidden);
                throw ErrorCode{ENOENT};
            }
            if (listed) PublishListing(listing, wave, final, hidden, made);
            return;
        }
        throw ErrorCode{EEXIST};
    });
}

void ConvertEntry(LStream& input, const FileSpec& inputSpec, const KOBEntryHeader& header,
                  ProgressSink& progress, const OutputFolders& folders) {
    const bool check = TheRunOptions().test;
    const OutputNames names = ChooseOutputNames(inputSpec, header, folders, !check);
    const OutputWork output(names.wave);
    FileSpec temp;
    struct stat made {};
    std::unique_ptr<LWaveFile> writer;
    output([&] { writer = check ? CreateNowhere(temp) : CreateWaveFile(names, header, temp, made); });
    DamageListing listing(names.wave, check);
    try {
        progress.Start(header.frameCount() * header.channelCount() * 2u, ShownName(names.wave).text);
        progress.Update(0);
        output([&] {
            writer->SetFormat(static_cast<std::int32_t>(header.frameCount()), header.channelCount(),
                              header.bytesPerSample(), static_cast<std::int32_t>(header.sampleRate()));
        });
        input.SetMarker(static_cast<std::int32_t>(header.blockDataOffset()), 0);
        ConvertBlocks(input, header, *writer, progress, listing, output);
        CopyTrailingData(input, header, *writer, output);
        // The last frames are still in the writer's memory; a failure to write them is the
        // entry's failure.
        output([&] { writer->WriteHeldFrames(); });
        progress.Clear();
        // A close that cannot write out the last bytes leaves the file incomplete: a failure.
        output([&] {
            listing.Finish();
            writer->FinishDataFork();
        });
        if (check) {
            TheBatchReport().Wrote({ShownPath(names.wave), listing.Stretches(), "", true, DescribeStretches(listing), -100, ""});
        } else {
            PublishEntry(names, temp, made, listing, output);
        }
    } catch (ErrorCode) {
        DiscardEntry(writer, listing, temp);
        throw;
    } catch (const std::bad_alloc&) {
        DiscardEntry(writer, listing, temp);
        throw ErrorCode{kOutOfMemory};
    }
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
    OutputFolders folders;
    folders.folder = inputSpec.mFolder;
    ConvertFile(input, inputSpec, folders, NoProgress());
}

void ConvertFile(LStream& input, const FileSpec& inputSpec, const OutputFolders& folders, ProgressSink& progress) {
    if (TheRunOptions().rescue) {
        RescueFile(input, inputSpec, [&](const KOBEntryHeader& header) { ConvertEntry(input, inputSpec, header, progress, folders); });
        return;
    }
    std::set<std::int32_t> visited;   // entry positions converted so far: a chain must not loop
    std::int32_t position = FindFirstEntry(input);
    for (;;) {
        if (!visited.insert(position).second) throw kEndOfFile;
        KOBEntryHeader header;
        if (ReadEntryHeader(input, position, header) == kEndOfFile) return;
        if (const std::int32_t code = CheckEntryHeader(header)) throw code;
        ConvertEntry(input, inputSpec, header, progress, folders);
        position = static_cast<std::int32_t>(header.nextEntry());
        if (position == 0) return;
    }
}
