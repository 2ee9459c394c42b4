#include "convert/BlockQueue.h"

#include "decode/Checksum16.h"
#include "decode/DecodeBlock.h"
#include "platform/runtime/NeverDestroyed.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

using State = QueuedBlock::State;

void DecodeQueuedBlock(QueuedBlock& block) noexcept {
    const std::uint16_t packedLength = block.header.packedLength();
    const std::uint16_t unpackedLength = block.header.unpackedLength();
    // The byte behind the packed data is part of the decoder's window; keeping it at 0 makes a
    // block decode the same wherever it stands in the file.
    block.packed[packedLength] = 0;
    // Data cut off by the end of the file damages a block whose header is good.
    block.damaged = block.headerGood && block.shortData;
    const bool checked = block.status == 0 && !block.shortData;
    if (checked && DecodesMode(block.header.mode())) {
        // The decoder writes every whole sample; only an odd last byte is left to clear.
        if (unpackedLength & 1) block.samples[unpackedLength - 1] = 0;
        DecodeBlock(packedLength ? block.packed : nullptr, block.samples, block.header.mBytes);
    } else {
        ZeroBlock(block.samples, unpackedLength);
    }
    if (checked && Checksum16(block.samples, unpackedLength) != block.header.dataChecksum()) {
        ZeroBlock(block.samples, unpackedLength);
        block.damaged = true;
    }
}

namespace {

// A block is read or decoded in microseconds, and a thread that falls asleep may take far longer
// to wake (a waiting processor may be handed to other work). So while an entry is converted, a
// thread with nothing to do watches for the other's next step this long before it sleeps: the
// helper for the next block read, the converter for the helper to finish the oldest one.
// The watching thread gives its processor up between looks, so that on a machine busier than its
// processors (many conversions at once) watching costs the others little.
constexpr auto kWatch = std::chrono::microseconds(50);

// A moment's pause between two looks at what another thread changes: it lets that thread's core
// (a sibling hyperthread perhaps) get on, and costs no system call.
inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Whether `count` moved from `seen` within kWatch. Called without the lock.
bool MovesSoon(const std::atomic<std::uint32_t>& count, std::uint32_t seen) {
    const auto until = std::chrono::steady_clock::now() + kWatch;
    do {
        for (int i = 0; i < 64; ++i) {
            if (count.load(std::memory_order_relaxed) != seen) return true;
            Pause();
        }
        std::this_thread::yield();
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

// Takes `lock`'s mutex, trying a while before it sleeps. The lock is held for a few state
// changes only, so whoever finds it taken mostly gets it a moment later; going to sleep at once
// would cost both threads a system call (the sleeper's and the waker's), which is several
// microseconds on a virtual machine, thousands of times a file.
void LockSoon(std::unique_lock<std::mutex>& lock) {
    for (int i = 0; i < 128; ++i) {
        if (lock.try_lock()) return;
        Pause();
    }
    lock.lock();
}

// The same for a new lock.
std::unique_lock<std::mutex> LockSoon(std::mutex& mutex) {
    std::unique_lock lock(mutex, std::defer_lock);
    LockSoon(lock);
    return lock;
}

} // namespace

// The thread that decodes queued blocks on another core. There is one for the process, started
// with the first queue and never stopped: it waits while no queue has work for it. It serves one
// queue at a time; a queue made while it serves another does its decoding alone.
class DecodeHelper {
public:
    static DecodeHelper& Get() {
        static platform::NeverDestroyed<DecodeHelper> helper;
        return helper.get();
    }

    // Whether the helper takes on `queue`'s blocks from now on.
    bool Join(BlockQueue& queue) {
        std::lock_guard lock(mutex);
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
        if (!mRunning || mQueue) return false;
        mQueue = &queue;
        return true;
    }

    // Takes the helper off `queue`, once it has finished the block it decodes there.
    void Leave(BlockQueue& queue) {
        std::unique_lock lock(mutex);
        if (mQueue != &queue) return;
        mQueue = nullptr;
        done.wait(lock, [this] { return !mBusy; });
    }

    // Guards the state of every queued block and the queues' counts.
    std::mutex mutex;
    std::condition_variable work;   // a block waits to be decoded
    std::condition_variable done;   // a block is decoded, or the helper left its block
    // Blocks published and blocks the helper decoded, for the helper and the converter to watch
    // before they sleep. Changed under the lock; the blocks' states are only read under it.
    std::atomic<std::uint32_t> published{0};
    std::atomic<std::uint32_t> decoded{0};

    // Sleeps on `signal` unless `count` moves from `seen` first, watching it a while before.
    // `seen` was read under the lock, which is held on entry and on return.
    static void Await(std::condition_variable& signal, std::unique_lock<std::mutex>& lock,
                      const std::atomic<std::uint32_t>& count, std::uint32_t seen) {
        lock.unlock();
        const bool moved = MovesSoon(count, seen);
        LockSoon(lock);
        if (!moved && count.load(std::memory_order_relaxed) == seen) signal.wait(lock);
    }

private:
    [[noreturn]] void Run() {
        std::unique_lock lock = LockSoon(mutex);
        for (;;) {
            QueuedBlock* block = mQueue ? mQueue->FirstWaiting() : nullptr;
            if (!block) {
                // Between entries there is nothing to watch for.
                if (mQueue) Await(work, lock, published, published.load(std::memory_order_relaxed));
                else work.wait(lock);
                continue;
            }
            block->state = State::kTaken;
            mBusy = true;
            lock.unlock();
            DecodeQueuedBlock(*block);
            LockSoon(lock);
            block->state = State::kDecoded;
            mBusy = false;
            decoded.fetch_add(1, std::memory_order_relaxed);
            done.notify_all();
        }
    }

    bool mStarted = false;          // a start of the thread was tried
    bool mRunning = false;          // the thread runs
    BlockQueue* mQueue = nullptr;   // the queue it serves
    bool mBusy = false;             // it decodes a block of mQueue, outside the lock
};

BlockQueue::BlockQueue() : mBuffers(kDepth * (2 * kBlockLimit + 1)) {
    std::uint8_t* bytes = mBuffers.Bytes();
    for (QueuedBlock& block : mBlocks) {
        block.packed = bytes;
        block.samples = bytes + kBlockLimit + 1;
        bytes += 2 * kBlockLimit + 1;
    }
    mHelped = DecodeHelper::Get().Join(*this);
}

BlockQueue::~BlockQueue() {
    if (mHelped) DecodeHelper::Get().Leave(*this);
}

QueuedBlock* BlockQueue::Vacant() {
    // Only this queue's own thread changes mCount, so it reads it without the lock.
    if (mCount == kDepth) return nullptr;
    QueuedBlock& block = At(mCount);
    // A place's memory is mapped when the place is first used: a file of a few blocks uses a few.
    if (!block.mapped) {
        MapAtOnce(block.packed, 2 * kBlockLimit + 1);
        block.mapped = true;
    }
    return &block;
}

void BlockQueue::Publish() {
    DecodeHelper& helper = DecodeHelper::Get();
    {
        const std::unique_lock lock = LockSoon(helper.mutex);
        QueuedBlock& block = At(mCount);
        // A block whose reading failed is never decoded: its turn raises the failure.
        block.state = block.failure ? State::kDecoded : State::kWaiting;
        ++mCount;
        helper.published.fetch_add(1, std::memory_order_relaxed);
    }
    if (mHelped) helper.work.notify_one();
}

QueuedBlock& BlockQueue::Oldest() {
    DecodeHelper& helper = DecodeHelper::Get();
    std::unique_lock lock = LockSoon(helper.mutex);
    QueuedBlock& oldest = At(0);
    while (oldest.state != State::kDecoded) {
        // The helper takes the waiting blocks from the oldest on. When the oldest block's turn
        // comes and nobody has taken it yet, it is decoded here. While the helper decodes it,
        // the next waiting block is decoded here, as it is the next one to be written: both
        // cores decode, and the converter only waits when no block waits to be decoded. When
        // the converter reads and writes more slowly than the helper decodes, every block is
        // decoded before its turn and the converter decodes none.
        QueuedBlock* block = oldest.state == State::kWaiting ? &oldest : FirstWaiting();
        if (block) {
            block->state = State::kTaken;
            lock.unlock();
            DecodeQueuedBlock(*block);
            LockSoon(lock);
            block->state = State::kDecoded;
        } else {
            DecodeHelper::Await(helper.done, lock, helper.decoded, helper.decoded.load(std::memory_order_relaxed));
        }
    }
    return oldest;
}

void BlockQueue::Release() {
    const std::unique_lock lock = LockSoon(DecodeHelper::Get().mutex);
    At(0).state = State::kFree;
    At(0).failure = nullptr;
    mHead = (mHead + 1) % kDepth;
    --mCount;
}

QueuedBlock* BlockQueue::FirstWaiting() {
    for (std::int32_t i = 0; i < mCount; ++i)
        if (At(i).state == State::kWaiting) return &At(i);
    return nullptr;
}
