#include "convert/BlockQueue.h"

#include "decode/Checksum16.h"
#include "decode/DecodeBlock.h"
#include "platform/runtime/NeverDestroyed.h"
#include "stream/FrameInterleave.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

using State = QueuedBlock::State;

namespace {

// The memory a thread decodes placed frames in, made on the thread's first use, not part of every
// thread's own storage: that is cleared for each thread the process starts (the window's and the
// signals' too), and its pages mapped each time. Only the parts a thread uses are ever touched.
struct DecodingScratch {
    // The samples of a block whose frames are placed: decoded, checked and placed while they stay
    // in the decoding core's cache, and never kept in the block's own buffer. Two, for the two
    // channels of stereo frames placed together.
    alignas(64) std::uint8_t samples[2][kBlockLimit];
    // The frames of a group of many channels, made whole before they go to the ring (the helper's).
    alignas(64) std::uint8_t group[kMostPlacedChannels * kBlockLimit];
};

DecodingScratch& ThreadScratch() {
    thread_local std::unique_ptr<DecodingScratch> scratch;
    if (!scratch) scratch = std::make_unique_for_overwrite<DecodingScratch>();
    return *scratch;
}

std::uint8_t* PlacingScratch(int which) {
    return ThreadScratch().samples[which];
}

// Readies a block's decoding into `samples`: true when they are to be decoded, false when they
// are silence (and made so) because its header is bad, its data cut off or its mode unknown.
bool ReadyToDecode(QueuedBlock& block, std::uint8_t* samples) noexcept {
    const std::uint16_t packedLength = block.header.packedLength();
    const std::uint16_t unpackedLength = block.header.unpackedLength();
    // The byte behind the packed data is part of the decoder's window; keeping it at 0 makes a
    // block decode the same wherever it stands in the file. Data decoded in place has no such
    // byte, and decodes as if it were 0.
    if (!block.inPlace) block.packed[packedLength] = 0;
    // Data cut off by the end of the file damages a block whose header is good.
    block.damaged = block.headerGood && block.shortData;
    if (block.status == 0 && !block.shortData && DecodesMode(block.header.mode())) {
        // The decoder writes every whole sample; only an odd last byte is left to clear.
        if (unpackedLength & 1) samples[unpackedLength - 1] = 0;
        return true;
    }
    ZeroBlock(samples, unpackedLength);
    return false;
}

// The block as the decoder takes it, its samples to go into `samples`.
PackedBlock ToDecode(const QueuedBlock& block, std::uint8_t* samples) {
    const bool inPlace = block.inPlace != nullptr;
    const std::uint8_t* packed = block.header.packedLength() == 0 ? nullptr : inPlace ? block.inPlace : block.packed;
    return PackedBlock{packed, samples, block.header.mBytes, inPlace};
}

// A block whose header and data are good but whose samples do not match its data checksum is
// damaged: its samples become silence.
void CheckSamples(QueuedBlock& block, std::uint8_t* samples) noexcept {
    const std::uint16_t unpackedLength = block.header.unpackedLength();
    const bool checked = block.status == 0 && !block.shortData;
    if (checked && Checksum16(samples, unpackedLength) != block.header.dataChecksum()) {
        ZeroBlock(samples, unpackedLength);
        block.damaged = true;
    }
}

// The block's samples into `samples`: decoded, or silence when its header or its data is bad.
void DecodeSamples(QueuedBlock& block, std::uint8_t* samples) noexcept {
    if (ReadyToDecode(block, samples)) DecodeBlock(ToDecode(block, samples));
    CheckSamples(block, samples);
}

// The same for two blocks at once, which takes less time when both are decoded.
void DecodeSamplesOfTwo(QueuedBlock& first, std::uint8_t* firstSamples, QueuedBlock& second,
                        std::uint8_t* secondSamples) noexcept {
    const bool firstReady = ReadyToDecode(first, firstSamples);
    const bool secondReady = ReadyToDecode(second, secondSamples);
    if (firstReady && secondReady) {
        DecodeTwoBlocks(ToDecode(first, firstSamples), ToDecode(second, secondSamples));
    } else {
        if (firstReady) DecodeBlock(ToDecode(first, firstSamples));
        if (secondReady) DecodeBlock(ToDecode(second, secondSamples));
    }
    CheckSamples(first, firstSamples);
    CheckSamples(second, secondSamples);
}

} // namespace

void DecodeQueuedBlock(QueuedBlock& block) noexcept {
    std::uint8_t* const samples = block.frames ? PlacingScratch(0) : block.samples;
    DecodeSamples(block, samples);
    if (block.frames)
        PlaceChannel(samples, block.frames, block.header.unpackedLength() / 2, block.frameBytes, block.header.channel());
}

namespace {

// A block is read or decoded in microseconds, and a thread that falls asleep may take far longer
// to wake (a waiting processor may be handed to other work). So while an entry is converted, a
// thread with nothing to do watches for the other's next step this long before it sleeps: the
// helper for the next block read, the converter for the helper to finish the oldest one.
// The watching thread gives its processor up between looks, so that on a machine busier than its
// processors (many conversions at once) watching costs the others little. The longest step is
// the converter's write of the WAVE file's held frames (a quarter of a megabyte, some 80 us
// here); a helper asleep by then wakes late, and the converter decodes what it should have.
constexpr auto kWatch = std::chrono::microseconds(200);

// A moment's pause between two looks at what another thread changes: it lets that thread's core
// (a sibling hyperthread perhaps) get on, and costs no system call.
inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Whether `changed()` comes true within `limit`.
template <typename Changed>
bool ChangesWithin(Changed changed, std::chrono::microseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    do {
        for (int i = 0; i < 64; ++i) {
            if (changed()) return true;
            Pause();
        }
        std::this_thread::yield();
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

// Whether `changed()` comes true within kWatch.
template <typename Changed>
bool ChangesSoon(Changed changed) {
    return ChangesWithin(changed, kWatch);
}

// Waits until a block the helper has taken is decoded: mostly the time the helper takes for a
// block, or two. The helper tells no one of a block it decoded; the converter looks, and looks
// again less and less often when the helper's thread has been stopped (a machine busier than
// its processors). A count the helper moved at every block and the converter slept on cost the
// helper a locked write each time, which waits for all its stores before it: a tenth of its time.
void AwaitDecoded(const QueuedBlock& block) {
    const auto decoded = [&] { return block.state.load(std::memory_order_relaxed) != State::kTaken; };
    for (auto sleep = std::chrono::microseconds(50); !ChangesSoon(decoded); sleep = std::min(2 * sleep, kWatch))
        std::this_thread::sleep_for(sleep);
}

} // namespace

// The round trip of a line from the converter's core to the helper's and back, below which the
// helper's frames are stored into its own cache rather than past it (InterleaveStereo's
// forOtherCore): the converter's writes of the file then read them from there instead of from
// memory. Which is faster depends on how far apart the two cores are, which on a virtual machine
// its host decides, from one moment to the next. On one of ours the round trip took 120 to
// 135 ns at times, and frames kept in the cache restored 600 s of stereo 1.6 to 3.2 ms faster;
// at others it took 430 to 500 ns, and frames past the cache were 3.5 to 5 ms faster.
constexpr auto kNearRoundTrip = std::chrono::nanoseconds(250);
constexpr int kProbeRoundTrips = 32;
constexpr int kProbeOver = -1;   // the converter's last word: no more round trips

// The thread that decodes queued blocks on another core. There is one for the process, started
// with the first queue and never stopped: it sleeps while no queue has work for it. It serves one
// queue at a time; a queue made while it serves another does its decoding alone.
// WATCHOUT: no lock is taken per block. A block changes hands through its state alone: whoever
// turns kWaiting into kTaken decodes it, and the release of kDecoded hands its samples back.
class DecodeHelper {
public:
    static DecodeHelper& Get() {
        static platform::NeverDestroyed<DecodeHelper> helper;
        return helper.get();
    }

    // Whether the helper takes on `queue`'s blocks from now on.
    bool Join(BlockQueue& queue) {
        {
            std::lock_guard lock(mStart);
            if (!mStarted) {
                mStarted = true;
                // WATCHOUT: with one core the helper would only take turns with the converter.
                if (std::thread::hardware_concurrency() > 1) {
                    try {
                        std::thread([this] { Run(); }).detach();
                        mRunning = true;
                    } catch (const std::system_error&) {
                        // A limit on threads: the converter decodes alone, as well as ever.
                    }
                }
            }
            if (!mRunning) return false;
        }
        BlockQueue* none = nullptr;
        return mQueue.compare_exchange_strong(none, &queue);
    }

    // Takes the helper off `queue`, once it has finished the block it decodes there.
    void Leave(BlockQueue& queue) {
        BlockQueue* served = &queue;
        mQueue.compare_exchange_strong(served, nullptr);
        // Either the helper sees the queue gone before it looks at its blocks, or this sees the
        // helper in it and waits until it is out: both stores come before both loads.
        for (BlockQueue* inside = mInside.load(); inside == &queue; inside = mInside.load()) mInside.wait(inside);
    }

    // Whether the helper's frames go past its cache (see kNearRoundTrip).
    bool FramesPastCache() const { return mFramesPastCache.load(std::memory_order_relaxed); }

    // Blocks published: what the helper watches, and sleeps on, while it waits for them.
    std::atomic<std::uint32_t> published{0};

    // The converter's side, once, when the helper is ready: a number passed to the helper and
    // back, timed. A helper that does not answer soon (stopped by a busy machine) leaves its
    // frames going past the cache. Measured: true once done, or once the helper gave up waiting.
    bool Measured() const { return mProbe.load(std::memory_order_relaxed) == kProbeOver; }
    void MeasureIfReady() {
        // The first number passed claims the measurement: one converter measures. Until the
        // helper is ready, a look costs no locked exchange.
        int ready = 1;
        if (mProbe.load(std::memory_order_relaxed) != ready) return;
        if (!mProbe.compare_exchange_strong(ready, 2, std::memory_order_acq_rel)) return;
        const auto answered = [&](int value, std::chrono::microseconds limit) {
            return ChangesWithin([&] { return mProbe.load(std::memory_order_acquire) == value; }, limit);
        };
        // The first answer comes from a helper that has waited a while, slowly; the middle one of
        // the others is the time a line takes, whatever stopped a thread now and then.
        bool timed = answered(3, std::chrono::microseconds(1000));
        std::array<std::chrono::steady_clock::duration, kProbeRoundTrips> trips{};
        for (int i = 0; timed && i < kProbeRoundTrips; ++i) {
            const auto start = std::chrono::steady_clock::now();
            mProbe.store(2 * i + 4, std::memory_order_release);
            timed = answered(2 * i + 5, std::chrono::microseconds(100));
            trips[static_cast<std::size_t>(i)] = std::chrono::steady_clock::now() - start;
        }
        mProbe.store(kProbeOver, std::memory_order_release);
        if (!timed) return;
        std::nth_element(trips.begin(), trips.begin() + kProbeRoundTrips / 2, trips.end());
        mFramesPastCache.store(trips[kProbeRoundTrips / 2] >= kNearRoundTrip, std::memory_order_relaxed);
    }

private:
    // The helper's side, when it starts: ready, then each number passed comes back one more,
    // until the converter says it is over. A millisecond with no number passed ends it too: the
    // converter's next look (BlockQueue::Oldest) then finds it over.
    void AnswerProbe() {
        int answer = 0;
        if (!mProbe.compare_exchange_strong(answer, 1, std::memory_order_acq_rel)) return;
        for (answer = 1;;) {
            int passed = answer;
            if (!ChangesWithin([&] { return (passed = mProbe.load(std::memory_order_acquire)) != answer; },
                               std::chrono::microseconds(1000))) {
                passed = answer;
                if (mProbe.compare_exchange_strong(passed, kProbeOver, std::memory_order_acq_rel)) return;
            }
            // A converter that gave up meanwhile has said so: the exchange fails.
            if (passed == kProbeOver || !mProbe.compare_exchange_strong(passed, passed + 1, std::memory_order_acq_rel))
                return;
            answer = passed + 1;
        }
    }

    [[noreturn]] void Run() {
        AnswerProbe();
        for (;;) {
            // Read before the blocks are looked at, so that a block published after the look
            // moves it and the sleep below does not happen.
            std::uint32_t seen = published.load(std::memory_order_acquire);
            BlockQueue* queue = mQueue.load();
            if (!queue) {
                // Between entries there is nothing to watch for.
                published.wait(seen, std::memory_order_acquire);
                continue;
            }
            // It stays in the queue from one block to the next while it finds blocks there,
            // and looks whether the queue is still served before it takes each. The next block
            // is taken while one is decoded (DecodeTaken), and decoded whatever happens then.
            mInside.store(queue);
            QueuedBlock* block = queue->TakeWaiting(queue->mHelperLook);
            while (block) {
                QueuedBlock* next = nullptr;
                queue->DecodeTaken(block, true, mQueue.load() == queue ? &next : nullptr);
                block = next;
                seen = published.load(std::memory_order_acquire);
            }
            mInside.store(nullptr);
            // Only a converter that has left the queue waits for this; waking costs a write to
            // memory shared by every waiting atomic, which each block need not pay.
            if (mQueue.load() != queue) {
                mInside.notify_all();
                continue;
            }
            if (!ChangesSoon([&] { return published.load(std::memory_order_relaxed) != seen; }))
                published.wait(seen, std::memory_order_acquire);
        }
    }

    std::mutex mStart;                          // guards the start of the thread
    bool mStarted = false;                      // a start of the thread was tried
    bool mRunning = false;                      // the thread runs
    std::atomic<BlockQueue*> mQueue{nullptr};   // the queue it serves
    std::atomic<BlockQueue*> mInside{nullptr};  // the queue whose blocks it is looking at
    std::atomic<int> mProbe{0};                 // the number passed to and fro (MeasureIfReady)
    std::atomic<bool> mFramesPastCache{true};   // see kNearRoundTrip
};

namespace {

// The buffers of the last queue that went: the next entry's queue takes them over, so that a
// batch of many small files neither allocates a megabyte nor has the system map its pages again
// for each entry. One is kept: a converter uses one queue at a time.
SpareBlock& Spare() {
    static platform::NeverDestroyed<SpareBlock> spare;
    return spare.get();
}

// A block's samples, then its packed data and the byte behind, in a whole number of pages: every
// place's samples start at the same offset in a page, so small blocks touch a page each.
constexpr std::int32_t kPlace = 2 * kBlockLimit + 4096;

} // namespace

BlockQueue::BlockQueue(std::uint64_t samples) {
    mBuffers = Spare().Take(kDepth * kPlace);
    // Its pages are mapped when first touched: an entry of a few blocks touches a few.
    if (!mBuffers) mBuffers = std::make_unique<HeapBlock>(kDepth * kPlace);
    // The first buffer on top: a queue of small files keeps using the same few.
    for (std::int32_t i = kDepth - 1; i >= 0; --i) mStore[static_cast<std::size_t>(mStored++)] = mBuffers->Bytes() + i * kPlace;
    mHelped = samples >= kHelpedFrom && DecodeHelper::Get().Join(*this);
}

BlockQueue::~BlockQueue() {
    if (mHelped) DecodeHelper::Get().Leave(*this);
    // Handed on only now: the helper is out of this queue and touches its buffers no more.
    Spare().GiveBack(std::move(mBuffers));
}

QueuedBlock* BlockQueue::Vacant() {
    if (!mRefilling) {
        if (mCount > kDepth - kDepth / 4 || mBytes > kBudget - kBudget / 4) return nullptr;
        mRefilling = true;
    }
    if (mCount == kDepth || mBytes >= kBudget) {
        mRefilling = false;
        Announce();
        return nullptr;
    }
    return VacantAnyway();
}

QueuedBlock* BlockQueue::VacantAnyway() {
    if (mCount == kDepth) return nullptr;
    QueuedBlock& block = At(mCount);
    // A place left vacant (its reading ended the blocks) keeps the buffer it had.
    if (!block.packed) {
        block.samples = mStore[static_cast<std::size_t>(--mStored)];
        block.packed = block.samples + kBlockLimit;
    }
    return &block;
}

void BlockQueue::Publish() {
    QueuedBlock& block = At(mCount);
    block.bytes = block.header.packedLength() + 1 + block.header.unpackedLength();
    mBytes += block.bytes;
    // A block whose reading failed is never decoded: its turn raises the failure. A block whose
    // samples go into the frames of the one before, not decoded yet, is left to that one's decoder.
    State state = State::kWaiting;
    if (block.failure) {
        state = State::kDecoded;
    } else if (block.frames && mCount > 0) {
        const QueuedBlock& before = At(mCount - 1);
        if (before.frames == block.frames && before.state.load(std::memory_order_acquire) != State::kDecoded)
            state = State::kFollows;
    }
    block.state.store(state, std::memory_order_release);
    ++mCount;
    if (mHelped) ++mUnannounced;
}

void BlockQueue::Announce() {
    if (mUnannounced == 0) return;
    // The helper takes every waiting block it finds whether told or not; the count is what it
    // watches and sleeps on when it finds none. Moving it once a batch spares the converter a
    // wait for the helper's cache each block.
    mUnannounced = 0;
    DecodeHelper& helper = DecodeHelper::Get();
    helper.published.fetch_add(1, std::memory_order_release);
    helper.published.notify_one();
}

QueuedBlock& BlockQueue::Oldest() {
    Announce();
    // Once, as soon as the helper is ready: how far away its core is (see kNearRoundTrip). The
    // queue remembers that it was measured, so that its blocks do not look again.
    if (mHelped && !mDistanceKnown) {
        DecodeHelper& helper = DecodeHelper::Get();
        helper.MeasureIfReady();
        mDistanceKnown = helper.Measured();
    }
    QueuedBlock& oldest = At(0);
    for (;;) {
        // Mostly the helper has decoded it long ago.
        if (oldest.state.load(std::memory_order_acquire) == State::kDecoded) return oldest;
        // The helper takes the waiting blocks from the oldest on. When the oldest block's turn
        // comes and nobody has taken it yet, it is decoded here. While the helper decodes it,
        // the next waiting block is decoded here, as it is the next one to be written: both
        // cores decode, and the converter only waits when no block waits to be decoded. When
        // the converter reads and writes more slowly than the helper decodes, every block is
        // decoded before its turn and the converter decodes none.
        std::int64_t look = 0;
        if (QueuedBlock* block = TakeWaiting(look)) {
            DecodeTaken(block, false);
        } else {
            AwaitDecoded(oldest);
        }
    }
}

void BlockQueue::Release() {
    QueuedBlock& oldest = At(0);
    oldest.failure = nullptr;
    mStore[static_cast<std::size_t>(mStored++)] = oldest.samples;
    oldest.packed = oldest.samples = nullptr;
    mBytes -= oldest.bytes;
    oldest.state.store(State::kFree, std::memory_order_relaxed);
    mHead.store(mHead.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    --mCount;
}

QueuedBlock* BlockQueue::TakeWaiting(std::int64_t& look) {
    // The helper may look while the converter publishes and releases: a block is only ever taken
    // from kWaiting (or kFollows), by the one exchange that succeeds, so a look at a moving queue
    // at worst takes a later block before an earlier one. A block that follows another is taken
    // here only as the oldest, when its decoder has passed it by (it came too late).
    std::int64_t head = mHead.load(std::memory_order_acquire);
    for (std::int64_t at = std::max(look, head); at < head + kDepth; ++at) {
        QueuedBlock& block = Place(at);
        State state = block.state.load(std::memory_order_relaxed);
        if (state == State::kFree) {
            // Past the blocks published, or the block was released since the head was read:
            // then the look goes on from the head as it is now.
            const std::int64_t now = mHead.load(std::memory_order_acquire);
            if (now <= at) return nullptr;
            head = now;
            at = now - 1;
            continue;
        }
        if (state == State::kWaiting || (state == State::kFollows && at == head)) {
            if (block.state.compare_exchange_strong(state, State::kTaken, std::memory_order_acquire)) {
                look = at + 1;
                return &block;
            }
        }
    }
    return nullptr;
}

bool BlockQueue::DecodeWholeGroup(QueuedBlock* first, QueuedBlock** following) {
    const std::int32_t channels = first->frameBytes / 2;
    const std::int64_t at = first - mBlocks.data();
    QueuedBlock* group[kMostPlacedChannels];
    group[0] = first;
    // The group's other blocks follow it, each waiting for this decoder alone: no one else takes
    // a block that follows another unless it is the oldest, and the first one is not released.
    for (std::int32_t c = 1; c < channels; ++c) {
        QueuedBlock& next = mBlocks[static_cast<std::size_t>((at + c) % kDepth)];
        // Its state first: a place not yet published may be being read into meanwhile.
        if (next.state.load(std::memory_order_acquire) != State::kFollows || next.frames != first->frames) return false;
        group[c] = &next;
    }
    std::uint8_t* const frames = ThreadScratch().group;
    const std::int32_t count = first->header.unpackedLength() / 2;
    for (std::int32_t c = 1; c < channels; ++c) group[c]->state.store(State::kTaken, std::memory_order_relaxed);
    // Two channels at a time, and an odd one last.
    for (std::int32_t c = 0; c < channels; c += 2) {
        const std::int32_t decoded = std::min(2, channels - c);
        if (decoded == 2)
            DecodeSamplesOfTwo(*group[c], PlacingScratch(0), *group[c + 1], PlacingScratch(1));
        else
            DecodeSamples(*group[c], PlacingScratch(0));
        for (std::int32_t k = 0; k < decoded; ++k)
            PlaceChannel(PlacingScratch(k), frames, count, first->frameBytes, group[c + k]->header.channel());
    }
    if (following) *following = TakeWaiting(mHelperLook);
    const std::int64_t bytes = std::int64_t{count} * first->frameBytes;
    if (DecodeHelper::Get().FramesPastCache())
        CopyFramesForOtherCore(frames, first->frames, bytes);
    else
        std::memcpy(first->frames, frames, static_cast<std::size_t>(bytes));
    for (std::int32_t c = 0; c < channels; ++c) group[c]->state.store(State::kDecoded, std::memory_order_release);
    return true;
}

void BlockQueue::DecodeTaken(QueuedBlock* block, bool byHelper, QueuedBlock** following) {
    if (byHelper && block->frames && block->frameBytes > 4 && block->header.channel() == 1 &&
        DecodeWholeGroup(block, following))
        return;
    for (;;) {
        // The place behind it holds the next block read: it cannot be released before this one.
        QueuedBlock& next = mBlocks[static_cast<std::size_t>((block - mBlocks.data() + 1) % kDepth)];
        // Stereo frames: when the second channel is there already, both are decoded first and
        // then placed together, each frame whole, which costs half as much as placing each.
        if (block->frames && block->frameBytes == 4 && TakeFollowing(next, byHelper)) {
            DecodeSamplesOfTwo(*block, PlacingScratch(0), next, PlacingScratch(1));
            if (following) *following = TakeWaiting(mHelperLook);
            InterleaveStereo(PlacingScratch(0), PlacingScratch(1), block->frames, block->header.unpackedLength() / 2,
                             byHelper && DecodeHelper::Get().FramesPastCache());
            block->state.store(State::kDecoded, std::memory_order_release);
            next.state.store(State::kDecoded, std::memory_order_release);
            return;
        }
        // Frames of more channels: two of them decoded side by side when the second is there,
        // each then placed.
        QueuedBlock* last = block;   // the last one decoded here
        if (block->frames && block->frameBytes > 4 && TakeFollowing(next, byHelper)) {
            DecodeSamplesOfTwo(*block, PlacingScratch(0), next, PlacingScratch(1));
            PlaceChannel(PlacingScratch(0), block->frames, block->header.unpackedLength() / 2, block->frameBytes,
                         block->header.channel());
            PlaceChannel(PlacingScratch(1), next.frames, next.header.unpackedLength() / 2, next.frameBytes, next.header.channel());
            block->state.store(State::kDecoded, std::memory_order_release);
            last = &next;
        } else {
            DecodeQueuedBlock(*block);
        }
        last->state.store(State::kDecoded, std::memory_order_release);
        // Now that it is decoded, the one behind may be the oldest: the converter may take it too.
        QueuedBlock& behind = mBlocks[static_cast<std::size_t>((last - mBlocks.data() + 1) % kDepth)];
        State expected = State::kFollows;
        if (!behind.state.compare_exchange_strong(expected, State::kTaken, std::memory_order_acquire)) break;
        block = &behind;
    }
    if (following) *following = TakeWaiting(mHelperLook);
}

bool BlockQueue::TakeFollowing(QueuedBlock& next, bool byHelper) {
    // While the block before it is taken and not decoded, a block that follows it may be taken
    // by its decoder, or as the oldest (TakeWaiting) once the block before is released: by the
    // converter, which moves the oldest itself, only then. So the helper takes it without the
    // exchange, which would wait for every store before it. The helper's own look at the oldest
    // may be out of date, though, so the converter keeps the exchange.
    State expected = State::kFollows;
    if (!byHelper) return next.state.compare_exchange_strong(expected, State::kTaken, std::memory_order_acquire);
    if (next.state.load(std::memory_order_acquire) != expected) return false;
    next.state.store(State::kTaken, std::memory_order_relaxed);
    return true;
}
