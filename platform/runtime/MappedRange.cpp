#include "platform/runtime/MappedRange.h"

#include "platform/runtime/Crt.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace platform {

namespace {

// The ranges mapped now, where the fault handler looks them up: it may take no lock, so each
// is a few atomic numbers in a fixed table.
struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> faulted{false};
};

constexpr int kSlots = 8;
Slot gSlots[kSlots];
std::uintptr_t gPageSize = 4096;
struct sigaction gPrevious {};   // the SIGBUS handling found when ours was installed
std::mutex gInstalling;

void OnBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& slot : gSlots) {
        if (address < slot.begin.load(std::memory_order_acquire) || address >= slot.end.load(std::memory_order_acquire))
            continue;
        // The page the file no longer gives becomes a page of zeros; the access that faulted is
        // made again on return and reads them. Told first, so that a thread that reads those
        // zeros and then asks Faulted learns of them.
        slot.faulted.store(true, std::memory_order_seq_cst);
        void* page = reinterpret_cast<void*>(address & ~(gPageSize - 1));
        if (mmap(page, gPageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED) break;
        return;
    }
    // Not a range of ours: handled as it was before, and by default the process ends.
    if (gPrevious.sa_flags & SA_SIGINFO) {
        if (gPrevious.sa_sigaction) return gPrevious.sa_sigaction(signal, info, context);
    } else if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
        return gPrevious.sa_handler(signal);
    }
    // Back to the default action; the faulting access, made again on return, ends the process.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigaction(SIGBUS, &fallback, nullptr);
}

// Puts OnBusError in front of whatever handles SIGBUS now (a handler that restores the terminal,
// installed after a first range was mapped, is then handled by it in turn).
void InstallHandler() {
    std::lock_guard lock(gInstalling);
    struct sigaction current {};
    if (sigaction(SIGBUS, nullptr, &current) != 0) return;
    if ((current.sa_flags & SA_SIGINFO) && current.sa_sigaction == OnBusError) return;
    gPageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    gPrevious = current;
    struct sigaction ours {};
    ours.sa_sigaction = OnBusError;
    ours.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&ours.sa_mask);
    sigaction(SIGBUS, &ours, nullptr);
}

int TakeSlot() {
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (gSlots[i].taken.compare_exchange_strong(expected, true)) return i;
    }
    return -1;
}

} // namespace

MappedRange::MappedRange(std::FILE* stream, std::int64_t offset, std::int64_t length) {
    if (!stream || offset < 0 || length <= 0) return;
    InstallHandler();
    mSlot = TakeSlot();
    if (mSlot < 0) return;
    const auto page = static_cast<std::int64_t>(gPageSize);
    const std::int64_t start = offset / page * page;
    mMapLength = static_cast<std::size_t>(offset - start + length);
    // The addresses of the whole range, none of it readable until it is reached.
    void* map = mmap(nullptr, mMapLength, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (map == MAP_FAILED) {
        gSlots[mSlot].taken.store(false);
        mSlot = -1;
        return;
    }
    mStream = stream;
    mMapOffset = start;
    mMap = map;
    mData = static_cast<const std::uint8_t*>(map) + (offset - start);
    mLength = length;
    // The handler matches an address only once both ends are set, and no longer once one is
    // cleared: begin first here, end first below.
    Slot& slot = gSlots[mSlot];
    slot.faulted.store(false);
    slot.begin.store(reinterpret_cast<std::uintptr_t>(map), std::memory_order_release);
    slot.end.store(reinterpret_cast<std::uintptr_t>(map) + mMapLength, std::memory_order_release);
}

MappedRange::~MappedRange() {
    if (mSlot < 0) return;
    Slot& slot = gSlots[mSlot];
    slot.end.store(0, std::memory_order_release);
    slot.begin.store(0, std::memory_order_release);
    if (mMap) munmap(mMap, mMapLength);
    slot.taken.store(false, std::memory_order_release);
}

bool MappedRange::Faulted() const {
    return mSlot >= 0 && gSlots[mSlot].faulted.load(std::memory_order_acquire);
}

bool MappedRange::Reach(std::int64_t end) {
    if (!mMap) return false;
    const std::int64_t inMap = (mData - static_cast<const std::uint8_t*>(mMap)) + std::min(end, mLength);
    const auto length = static_cast<std::int64_t>(mMapLength);
    while (mReached < inMap) {
        const std::int64_t piece = std::min(kPiece, length - mReached);
        void* at = static_cast<std::uint8_t*>(mMap) + mReached;
        if (crt::MapForReadingAt(at, mStream, static_cast<std::size_t>(piece), mMapOffset + mReached) == MAP_FAILED)
            return false;
        // Read ahead from the disk in long stretches. A piece is too small to be mapped in pages
        // of 2 MiB, so it holds its bytes and no more.
        madvise(at, static_cast<std::size_t>(piece), MADV_SEQUENTIAL);
        mReached += piece;
    }
    return true;
}

void MappedRange::Forget(std::int64_t end) {
    if (!mMap) return;
    const std::int64_t inMap = (mData - static_cast<const std::uint8_t*>(mMap)) + std::min(end, mLength);
    const std::int64_t upTo = std::min(inMap / kPiece * kPiece, mReached);
    if (upTo <= mForgotten) return;
    // Unmapped, and the addresses kept for the range: nothing else is mapped into them.
    mmap(static_cast<std::uint8_t*>(mMap) + mForgotten, static_cast<std::size_t>(upTo - mForgotten), PROT_NONE,
         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0);
    mForgotten = upTo;
}

} // namespace platform
