// LFileCachedStream: a file stream with a memory cache in front of it. Reads are served from a
// block of the file read ahead into memory; writes collect in the same block and go back to
// the file when the cache is flushed (on a marker outside the cached bytes, a transfer that
// does not fit, SetLength, CloseDataFork and destruction).
//
//     LFileCachedStream input(spec, 0x40000);   // throws kOutOfMemory when the cache cannot be had
//     input.OpenDataFork(0);
//     input.SetMarker(offset, 0);               // inside the cache: memory only
//     input.GetBlock(signature, 4);             // throws 6 at the end of the file
//
// GetBytes lowers count to the bytes delivered when the file ends early and returns 0, or 6
// when it could deliver nothing at the end of the file; a read error is returned as the
// runtime's error number. Requests larger than the cache bypass it: a short direct read
// returns 1 with count unchanged. A cache fill asks the runtime for the whole cache at once,
// except the first of the stream and the first after a marker set outside the cached bytes,
// which ask for kFirstFill bytes (or the request, if more): a first read there is mostly of
// headers, and the user may read a large entry's contents past the cache.
// The cache block of a stream that is destroyed is kept for the next stream made: a batch of
// many files then takes it from the heap once, not once a file.
// Marker origins are those of LFileStream (2 counts backwards from the end).
#pragma once

#include <cstdint>
#include <memory>

#include "stream/HeapBlock.h"
#include "stream/LFileStream.h"

class LFileCachedStream : public LFileStream {
public:
    // The file is not opened here; the owner calls OpenDataFork.
    LFileCachedStream(const FileSpec& spec, std::int32_t cacheSize);
    ~LFileCachedStream() override;

    // Writes dirty cached bytes back, puts the runtime stream at the logical position and
    // empties the cache. A failed write-back is reported and otherwise ignored; a failed seek
    // throws kBadPosition.
    void FlushCache();
    static constexpr std::int32_t kFirstFill = 16384;

    void CloseDataFork() override;
    void SetMarker(std::int32_t offset, std::int32_t origin) override;
    std::int32_t GetMarker() const override;
    void SetLength(std::int32_t length) override;
    std::int32_t GetLength() const override;
    std::int32_t PutBytes(const void* source, std::int32_t& count) override;
    std::int32_t GetBytes(void* destination, std::int32_t& count) override;

private:
    bool CacheValid() const { return mCacheStart != -1; }
    void EmptyCache();

    // WATCHOUT: while the cache is valid the runtime stream's own position is meaningless; the
    // logical position is mCacheStart + mCacheOffset, and only FlushCache puts the runtime
    // stream back there. Cache bytes 0..mCacheFill-1 stand for file bytes mCacheStart onward,
    // newer than the file when mCacheDirty; 0 <= mCacheOffset <= mCacheFill <= mCacheSize.
    // Empty: mCacheStart == -1, offset and fill 0, not dirty.
    std::unique_ptr<HeapBlock> mCache; // the cache block, at least mCacheSize bytes
    std::int32_t mCacheSize;   // capacity of the cache in bytes
    std::int32_t mCacheStart;  // file offset of cache byte 0; -1 when the cache is empty
    std::int32_t mCacheOffset; // the logical position, as an index into the cache
    std::int32_t mCacheFill;   // number of valid bytes in the cache
    bool mCacheDirty;          // the cache holds bytes not yet written to the file
    std::int32_t mFillSize;    // what the next fill asks for: kFirstFill, then the whole cache
};
