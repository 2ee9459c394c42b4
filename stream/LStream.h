// LStream: the program's abstract byte stream, a marker (the current position), a length, and
// two primitive transfers that report failure by returning an error code.
//
//     std::int32_t count = 22;
//     std::int32_t code = stream.GetBytes(header, count);   // 0 on success
//     stream.GetBlock(header, 22);                           // throws the code instead
//
// Error codes: 0 success; 1 a short direct read of the cached file stream; 4 from the base
// GetBytes; 5 from the base PutBytes; 6 end of file with nothing read; other values are error
// numbers of the runtime library. PutBlock and GetBlock throw a nonzero code as a plain
// std::int32_t.
//
// Marker origins: 0 from the start, 1 relative to the current marker, 2 from the end, the
// offset counting backwards (length - offset). The base class keeps marker and length in
// memory, moves no data and traces its marker and length work on standard output; the file
// streams replace most of it.
#pragma once

#include <cstdint>

class LStream {
public:
    LStream();
    virtual ~LStream();
    LStream(const LStream&) = delete;
    LStream& operator=(const LStream&) = delete;

    // Moves the marker, clamped to 0..GetLength().
    virtual void SetMarker(std::int32_t offset, std::int32_t origin);
    virtual std::int32_t GetMarker() const;
    // Sets the logical length; pulls the marker back inside it. Never changes a file's size.
    virtual void SetLength(std::int32_t length);
    virtual std::int32_t GetLength() const;
    // Transfers count bytes; count may be changed to the number of bytes moved.
    virtual std::int32_t PutBytes(const void* source, std::int32_t& count);
    virtual std::int32_t GetBytes(void* destination, std::int32_t& count);
    // GetBytes without the error code: returns the count GetBytes left.
    virtual std::int32_t GetBytesUpTo(void* destination, std::int32_t count);

    // PutBytes/GetBytes, throwing a nonzero error code.
    void PutBlock(const void* source, std::int32_t count);
    void GetBlock(void* destination, std::int32_t count);

protected:
    std::int32_t mMarker; // current position, bytes from the start
    std::int32_t mLength; // logical length in bytes
};
