#include "stream/LFileCachedStream.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/runtime/Crt.h"
#include "platform/runtime/NeverDestroyed.h"
#include "stream/ErrorCode.h"

namespace {

// The cache of the last stream destroyed, for the next. A cache made anew for each file of a
// batch was not only slower: when the files before had left the heap in certain shapes (a file
// of six channels first, say), a freed cache was not given again and the heap grew by a cache a
// file, past 80 MB over 1,000 files.
SpareBlock& SpareCache() {
    static platform::NeverDestroyed<SpareBlock> spare;
    return spare.get();
}

std::unique_ptr<HeapBlock> TakeCache(std::int32_t size) {
    std::unique_ptr<HeapBlock> cache = SpareCache().Take(size);
    return cache ? std::move(cache) : std::make_unique<HeapBlock>(size);
}

} // namespace

LFileCachedStream::LFileCachedStream(const FileSpec& spec, std::int32_t cacheSize)
    : LFileStream(spec), mCache(TakeCache(cacheSize)), mCacheSize(cacheSize), mCacheStart(-1),
      mCacheOffset(0), mCacheFill(0), mCacheDirty(false), mFillSize(std::min(cacheSize, kFirstFill)) {}

LFileCachedStream::~LFileCachedStream() {
    try {
        FlushCache();
    } catch (ErrorCode) {
        // A destructor has no one to hand the failed seek to; the file is closed all the same.
    }
    mCacheSize = 0;
    SpareCache().GiveBack(std::move(mCache));
}

void LFileCachedStream::EmptyCache() {
    mCacheStart = -1;
    mCacheOffset = 0;
    mCacheFill = 0;
    mCacheDirty = false;
}

void LFileCachedStream::FlushCache() {
    if (!CacheValid()) return;
    if (mCacheDirty) {
        // The whole valid range goes back, bytes read earlier included.
        LFileStream::SetMarker(mCacheStart, 0);
        const auto fill = static_cast<std::size_t>(mCacheFill);
        if (crt::fwrite(mCache->Bytes(), 1, fill, mDataFork) < fill)
            ::perror("LFileCachedStream::FlushCache()...fwrite");
    }
    // The seek also clears the runtime's end-of-file indicator. WATCHOUT: a cache that reaches
    // the last 32-bit position can leave the logical position at 2^31, which no marker holds:
    // the runtime is told it in its own, wider terms.
    const long position = static_cast<long>(mCacheStart) + mCacheOffset;
    if (!mDataFork || crt::fseek(mDataFork, position, SEEK_SET) != 0) throw ErrorCode{kBadPosition};
    EmptyCache();
}

void LFileCachedStream::CloseDataFork() {
    FlushCache();
    LFile::CloseDataFork();
}

void LFileCachedStream::SetMarker(std::int32_t offset, std::int32_t origin) {
    if (CacheValid() && origin >= 0 && origin <= 2) {
        long target = offset;
        if (origin == 1) target = static_cast<long>(GetMarker()) + offset;
        if (origin == 2) target = static_cast<long>(GetLength()) - offset;
        // A target just behind the cached bytes is not served from the cache.
        if (target >= mCacheStart && target < static_cast<long>(mCacheStart) + mCacheFill) {
            mCacheOffset = static_cast<std::int32_t>(target - mCacheStart);
            return;
        }
    }
    // The runtime stream stands at the logical position after the flush, so a relative
    // offset still means what the caller meant.
    FlushCache();
    LFileStream::SetMarker(offset, origin);
    // Reading somewhere else begins as a stream's first reading does: a few headers, mostly (the
    // next entry's, whose blocks are read past the cache).
    mFillSize = std::min(mCacheSize, kFirstFill);
}

std::int32_t LFileCachedStream::GetMarker() const {
    if (CacheValid()) {
        const long position = static_cast<long>(mCacheStart) + mCacheOffset;
        // As for the runtime's position: one that does not fit must not come back as a wrong one.
        if (position > INT32_MAX) throw ErrorCode{EOVERFLOW};
        return static_cast<std::int32_t>(position);
    }
    return LFileStream::GetMarker();
}

void LFileCachedStream::SetLength(std::int32_t length) {
    FlushCache();
    LStream::SetLength(length);
}

std::int32_t LFileCachedStream::GetLength() const {
    const std::int32_t length = LFileStream::GetLength();
    // Only bytes written into the cache can lie past the end of the file. WATCHOUT: a cache
    // that a read left empty stands wherever the read was tried, far past the end perhaps; it
    // must not make the file look that long (a damaged trailer's length was then believed).
    if (CacheValid() && mCacheDirty && static_cast<long>(mCacheStart) + mCacheFill > length)
        return mCacheStart + mCacheFill;
    return length;
}

std::int32_t LFileCachedStream::PutBytes(const void* source, std::int32_t& count) {
    if (count < 0) return EINVAL;
    if (count > mCacheSize) {
        // Too large for the cache: straight to the file, behind what the cache held.
        FlushCache();
        if (!mDataFork) return EBADF;
        errno = 0;
        const auto wanted = static_cast<std::size_t>(count);
        if (crt::fwrite(source, 1, wanted, mDataFork) == wanted) return 0;
        const int error = errno != 0 ? errno : EIO;
        ::perror("LFileCachedStream::PutBytes...fwrite");
        return error;
    }
    if (!CacheValid()) {
        if (!mDataFork) return EBADF;
        mCacheStart = GetMarker(); // the runtime position, the cache being empty
        if (count > 0) std::memcpy(mCache->Bytes(), source, static_cast<std::size_t>(count));
        mCacheOffset = count;
    } else if (mCacheSize - mCacheOffset < count) {
        FlushCache();
        return PutBytes(source, count);
    } else {
        if (count > 0)
            std::memcpy(mCache->Bytes() + mCacheOffset, source, static_cast<std::size_t>(count));
        mCacheOffset += count;
    }
    mCacheDirty = true;
    if (mCacheFill < mCacheOffset) mCacheFill = mCacheOffset;
    return 0;
}

std::int32_t LFileCachedStream::GetBytes(void* destination, std::int32_t& count) {
    if (count < 0) return EINVAL;
    auto* out = static_cast<std::uint8_t*>(destination);
    if (count > mCacheSize) {
        // Too large for the cache: straight from the file, count left as asked.
        FlushCache();
        if (!mDataFork) return EBADF;
        const auto wanted = static_cast<std::size_t>(count);
        return crt::fread(out, 1, wanted, mDataFork) == wanted ? 0 : 1;
    }

    if (!CacheValid()) {
        if (!mDataFork) return EBADF;
        mCacheStart = GetMarker(); // the runtime position, the cache being empty
        mCacheOffset = 0;
        mCacheFill = 0;
        std::int32_t result = 0;
        errno = 0;
        // One request for the whole cache: the runtime reads a request larger than its own
        // buffer straight into the cache, one system call instead of one per 4 KiB. The first
        // of the stream, and the first after a marker set elsewhere, ask for less: a fresh
        // cache's pages are each mapped at their first touch, which can cost more than the read
        // (ten microseconds a page on some virtual machines), and a large entry's blocks are
        // read past the cache anyway. Never less than is wanted: a fill that ends short says the
        // file ends there.
        const std::int32_t fill = std::max(mFillSize, count);
        mFillSize = mCacheSize;
        while (fill > 0 && !crt::feof(mDataFork)) {
            const std::int32_t chunk = fill - mCacheFill;
            const std::size_t got = crt::fread(mCache->Bytes() + mCacheFill, 1,
                                               static_cast<std::size_t>(chunk), mDataFork);
            mCacheFill += static_cast<std::int32_t>(got);
            if (mCacheFill == fill || got == 0) break;
        }
        if (mCacheFill == 0) {
            // Nothing at all: the end of the file, or a read error (a directory, a device that
            // fails), which must not pass for an empty read that could be tried forever.
            if (crt::feof(mDataFork))
                result = 6;
            else if (mCacheSize > 0)
                result = errno != 0 ? errno : 6;
        }
        if (count > mCacheFill) count = mCacheFill;
        if (count > 0) std::memcpy(out, mCache->Bytes(), static_cast<std::size_t>(count));
        mCacheOffset = count;
        return result;
    }

    const std::int32_t available = mCacheFill - mCacheOffset;
    if (available >= count) {
        if (count > 0)
            std::memcpy(out, mCache->Bytes() + mCacheOffset, static_cast<std::size_t>(count));
        mCacheOffset += count;
        return 0;
    }
    if (available > 0)
        std::memcpy(out, mCache->Bytes() + mCacheOffset, static_cast<std::size_t>(available));
    mCacheOffset += available;
    FlushCache();
    count -= available;
    const std::int32_t result = GetBytes(out + available, count);
    count += available;
    return result;
}
