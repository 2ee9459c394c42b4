#include "convert/RescueFile.h"

#include "convert/BatchReport.h"
#include "convert/BlockQueue.h"
#include "convert/BlockScanner.h"
#include "convert/ConvertFile.h"
#include "convert/RescueBlocks.h"
#include "convert/RescueSession.h"
#include "convert/RescuedHeader.h"
#include "platform/runtime/ByteOrder.h"
#include "stream/ErrorCode.h"
#include "stream/HeapBlock.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr std::int32_t kEndOfFile = 6;
// The most frames a recording found by its blocks may have: a WAVE file of one channel stays
// within 2^31 - 1 bytes.
constexpr std::int64_t kMostFrames = (std::int64_t{INT32_MAX} - 44) / 2;

std::string At(std::int64_t position) { return "at byte " + std::to_string(position); }

const char* WhyRefused(std::int32_t code) {
    switch (code) {
    case kCodeBadEntryMagic: return "its magic is wrong";
    case kCodeBadFormatTag: return "its format tag is wrong";
    case kCodeBadVersion: return "its version is unknown";
    case kCodeBadHeaderChecksum: return "its checksum fails";
    default: return "it cannot be read";
    }
}

// The KOB file's name without its folder and extension, for recordings found without a name.
std::string KobStem(const FileSpec& spec) {
    std::string path = FileSpecPath(spec);
    path = path.substr(path.rfind('/') + 1);
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && dot > 0) path.resize(dot);
    return path;
}

// What a run of good blocks from a position on holds: what a recording of it would take.
struct Survey {
    std::int64_t first = -1;   // the first block's position
    std::int64_t end = -1;     // the end of the last block's bytes
    std::int64_t blocks = 0;
    std::uint16_t channels = 0;
    std::int64_t frames = 0;   // the end of the furthest block
    bool anyGood = false;      // some block's data passed its checksum
    bool startsLate = false;   // its first block's frames do not start at 0
};

class Rescuer {
public:
    Rescuer(LStream& input, const FileSpec& inputSpec, const EntryConverter& convert)
        : mInput(input), mInputSpec(inputSpec), mConvert(convert), mBuffers(2 * (kBlockLimit + 1)) {
        mBlock.packed = mBuffers.Bytes();
        mBlock.samples = mBuffers.Bytes() + kBlockLimit + 1;
    }

    void Run() {
        ActiveRescue active(mSession);
        try {
            FollowChain(FindFirstEntry(mInput));
        } catch (ErrorCode code) {
            // No entry's signature anywhere: only runs of blocks can be found, and the lines of
            // their recordings say so.
            if (code != kEndOfFile) throw;
            Failed(kEndOfFile);
        }
        SearchWholeFile();
        for (const auto& [position, why] : mUnused)
            if (!mUsedHeaders.count(position))
                mSession.Missing("the entry header " + At(position) + " " + why + ", and no blocks were found for it");
        for (const std::string& line : mSession.MissingLines()) TheBatchReport().NotFound(line);
        if (mOutputs == 0 && mFailure != 0) throw mFailure;
    }

private:
    void Failed(std::int32_t code) {
        if (mFailure == 0) mFailure = code;
    }

    enum class HeaderRead { kWhole, kNone, kCut };
    HeaderRead ReadHeader(std::int64_t position, KOBEntryHeader& header) {
        std::memset(header.mBytes, 0, sizeof header.mBytes);
        if (position >= kPositionLimit) return HeaderRead::kNone;
        mInput.SetMarker(static_cast<std::int32_t>(position), 0);
        std::int32_t count = KOBEntryHeader::kSize;
        const std::int32_t result = mInput.GetBytes(header.mBytes, count);
        if (count == 0 && (result == 0 || result == kEndOfFile)) return HeaderRead::kNone;
        if (result != 0 && result != kEndOfFile) throw result;
        return count < KOBEntryHeader::kSize ? HeaderRead::kCut : HeaderRead::kWhole;
    }

    bool HeaderPasses(std::int64_t position) {
        KOBEntryHeader header;
        return ReadHeader(position, header) == HeaderRead::kWhole && CheckEntryHeader(header) == 0;
    }

    // The chain from the entry header at `position`, as the plain reader follows it, but a
    // damaged header ends only the chain.
    void FollowChain(std::int64_t position) {
        for (;;) {
            if (!mVisited.insert(position).second) {
                mSession.Missing("the chain of entries comes back to the entry header " + At(position));
                Failed(kEndOfFile);
                return;
            }
            KOBEntryHeader header;
            const HeaderRead read = ReadHeader(position, header);
            if (read == HeaderRead::kNone) return;
            if (read == HeaderRead::kCut) {
                CutOffHeader(position);
                return;
            }
            const std::int32_t code = CheckEntryHeader(header);
            if (code == 0) {
                mSession.GoodEntry(position, header.sampleRate());
                KOBEntryHeader used = header;
                const bool moved = BlocksMoved(position, used);
                mConvert(used);
                ++mOutputs;
                TheBatchReport().Described(moved ? "its blocks found right behind its header, not where it says" : "");
            } else {
                UseDamagedHeader(position, header, code);
                // Only a header that passes its tests is followed from a damaged one.
                if (header.nextEntry() == 0 || !HeaderPasses(header.nextEntry())) return;
            }
            position = header.nextEntry();
            if (position == 0) return;
        }
    }

    // A header that passes its tests but whose blocks are not where it says, as when bytes were
    // lost or inserted in front of it: when the first block of an entry stands right behind it
    // instead, that is where its blocks are read from.
    bool BlocksMoved(std::int64_t position, KOBEntryHeader& header) {
        KOBBlockHeader block;
        const auto fits = [&](const KOBBlockHeader& b) {
            return BlockHeaderStatus(b) == kBlockGood && b.channel() >= 1 && b.channel() <= header.channelCount() &&
                   b.startFrame() < header.frameCount();
        };
        if (PeekBlockHeader(mInput, header.blockDataOffset(), block) && fits(block)) return false;
        const std::int64_t behind = position + KOBEntryHeader::kSize;
        if (behind == header.blockDataOffset() || !PeekBlockHeader(mInput, behind, block) || !fits(block) ||
            block.channel() != 1 || block.startFrame() != 0 || mSession.claimed.EndOf(behind) >= 0)
            return false;
        byteorder::PutBE32(header.mBytes + 308, static_cast<std::uint32_t>(behind));
        return true;
    }

    void CutOffHeader(std::int64_t position) {
        Failed(kEndOfFile);
        if (mSession.DamagedHeader(position, -1)) mUnused.emplace_back(position, "is cut off by the end of the file");
    }

    // An entry header that fails its tests is used for the blocks where it says they start,
    // when they bear it out. Each such header is tried once, and at most as many as the session
    // keeps: each try may search a stretch of the file.
    void UseDamagedHeader(std::int64_t position, const KOBEntryHeader& header, std::int32_t code) {
        Failed(code);
        // Without either half of its signature it is no header, only where a chain led.
        if (header.magic() != kEntryMagic && header.formatTag() != kEntryFormatTag) {
            mSession.Missing("the chain of entries leads to byte " + std::to_string(position) + ", where no entry header stands");
            return;
        }
        if (!mSession.DamagedHeader(position, header.blockDataOffset())) return;
        mUnused.emplace_back(position, std::string("fails its tests (") + WhyRefused(code) + ")");
        RescueRun(header.blockDataOffset(), position, &header, true);
    }

    // Walks the run of blocks from `start` as a recording there would take them, reading only
    // headers, and decoding until one block's data passes its checksum.
    Survey Walk(std::int64_t start, std::int64_t searchUntil) {
        Survey survey;
        mInput.SetMarker(static_cast<std::int32_t>(start), 0);
        RescueBlocks blocks(mInput, static_cast<std::uint32_t>(kMostFrames), 255, mSession, RescueBlocks::kSurvey);
        blocks.SearchUntil(searchUntil);
        while (blocks.FindNext()) {
            const std::int64_t at = blocks.Found();
            KOBBlockHeader& header = mBlock.header;
            if (!PeekBlockHeader(mInput, at, header)) break;
            const std::uint16_t packed = header.packedLength();
            if (!survey.anyGood) {
                std::int32_t got = packed;
                const std::int32_t result = packed ? mInput.GetBytes(mBlock.packed, got) : 0;
                mBlock.status = result;
                mBlock.headerGood = true;
                mBlock.shortData = got < packed;
                DecodeQueuedBlock(mBlock);
                survey.anyGood = !mBlock.damaged;
            }
            blocks.Took(header);
            if (survey.first < 0) {
                survey.first = at;
                survey.startsLate = header.startFrame() > 0;
            }
            survey.end = at + KOBBlockHeader::kSize + packed;
            ++survey.blocks;
            survey.channels = std::max<std::uint16_t>(survey.channels, header.channel());
            survey.frames = std::max<std::int64_t>(survey.frames, header.startFrame() + header.unpackedLength() / 2);
            mInput.SetMarker(static_cast<std::int32_t>(std::min(survey.end, kPositionLimit - 1)), 0);
        }
        return survey;
    }

    // Makes a recording of the run of blocks from `start`, if it holds a block worth writing.
    // `hint` is an entry header that failed its tests and may tell the run's name, rate and
    // length; with `exact`, the run must begin at `start` (where the header says). Returns the
    // end of what was looked at.
    std::int64_t RescueRun(std::int64_t start, std::int64_t hintPosition, const KOBEntryHeader* hint, bool exact) {
        if (start < 0 || start >= mInput.GetLength() || mSession.claimed.EndOf(start) >= 0) return start + 1;
        // Where a header says its blocks start, the first of them is looked for no further than
        // a block could stand from there.
        const Survey survey = Walk(start, exact ? start + RescueBlocks::kSlack + 1 : kPositionLimit);
        // A header's block position is borne out by a good block there, or, when the first
        // blocks are lost, by a run near it whose frames do not start at 0.
        const bool near = survey.first == start ||
                          (survey.first - start <= RescueBlocks::kSlack && survey.startsLate);
        if (survey.blocks == 0 || (exact && !near)) return start + 1;
        if (!survey.anyGood) {
            mSession.Missing("the blocks from byte " + std::to_string(survey.first) + " to " +
                             std::to_string(survey.end) + " all fail their data checksums");
            return survey.end;
        }

        BlockRun run{survey.first, survey.end, survey.channels, survey.frames, EndsCleanly(survey.end)};
        const std::optional<RescuedHeader> made = InferHeader(run, hint, mSession.NeighbourRate(survey.first), [&] {
            return KobStem(mInputSpec) + ".rescued." + std::to_string(mSession.NextRescuedNumber());
        });
        if (!made) {
            mSession.Missing("the blocks from byte " + std::to_string(survey.first) + " would make a file over 2 GiB");
            return survey.end;
        }
        mConvert(made->header);
        ++mOutputs;
        if (hint) mUsedHeaders.insert(hintPosition);
        TheBatchReport().Described(made->inferred);
        return survey.end;
    }

    // Whether the bytes at `position` are the end of the file or the start of an entry header.
    bool EndsCleanly(std::int64_t position) {
        if (position >= mInput.GetLength()) return true;
        std::uint8_t bytes[kEntrySignatureSize];
        mInput.SetMarker(static_cast<std::int32_t>(position), 0);
        std::int32_t count = kEntrySignatureSize;
        const std::int32_t result = mInput.GetBytes(bytes, count);
        return result == 0 && count == kEntrySignatureSize && IsEntryStart(bytes);
    }

    // A header that failed its tests and may belong to the run of blocks starting at `start`:
    // one whose block position is `start`, or the 400 bytes right in front of it when they look
    // like a header (its signature half there, or its block position right).
    std::optional<std::pair<std::int64_t, KOBEntryHeader>> HintFor(std::int64_t start) {
        KOBEntryHeader header;
        if (const std::int64_t position = mSession.DamagedHeaderFor(start);
            position >= 0 && ReadHeader(position, header) != HeaderRead::kNone)
            return std::pair{position, header};
        const std::int64_t before = start - KOBEntryHeader::kSize;
        if (before >= 0 && ReadHeader(before, header) == HeaderRead::kWhole &&
            (header.magic() == kEntryMagic || header.formatTag() == kEntryFormatTag || header.blockDataOffset() == start))
            return std::pair{before, header};
        return std::nullopt;
    }

    void SearchWholeFile() {
        for (std::int64_t position = 0;;) {
            const SignatureFind find = FindSignature(mInput, position);
            if (find.kind == SignatureFind::Kind::kNone) return;
            position = find.position + 1;
            if (find.kind == SignatureFind::Kind::kEntry) {
                if (mVisited.count(find.position)) continue;
                KOBEntryHeader header;
                const HeaderRead read = ReadHeader(find.position, header);
                const std::int32_t code = read == HeaderRead::kWhole ? CheckEntryHeader(header) : kEndOfFile;
                if (code == 0) {
                    FollowChain(find.position);
                } else if (read == HeaderRead::kWhole) {
                    UseDamagedHeader(find.position, header, code);
                } else {
                    CutOffHeader(find.position);
                }
                continue;
            }
            if (const std::int64_t end = mSession.claimed.EndOf(find.position); end >= 0) {
                position = end;
                continue;
            }
            const auto hint = HintFor(find.position);
            position = std::max(position, RescueRun(find.position, hint ? hint->first : -1, hint ? &hint->second : nullptr, false));
        }
    }

    LStream& mInput;
    const FileSpec& mInputSpec;
    const EntryConverter& mConvert;
    RescueSession mSession;
    std::set<std::int64_t> mVisited;   // entry headers looked at
    // Damaged entry headers and what is wrong with them, and those a recording came from.
    std::vector<std::pair<std::int64_t, std::string>> mUnused;
    std::set<std::int64_t> mUsedHeaders;
    HeapBlock mBuffers;                // one block's packed data and samples, for the survey
    QueuedBlock mBlock;
    long mOutputs = 0;
    std::int32_t mFailure = 0;         // the first failure's code
};

} // namespace

void RescueFile(LStream& input, const FileSpec& inputSpec, const EntryConverter& convert) {
    Rescuer(input, inputSpec, convert).Run();
}
