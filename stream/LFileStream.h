// LFileStream: a file and a stream in one object, so that it can be created, opened and closed
// as a file and read and written as a stream. The stream operations go straight to the
// runtime's buffered file stream held in the data fork.
//
//     LFileStream listing(spec);
//     listing.CreateNewFile(creator, fileType, 0);
//     listing.OpenDataFork(2);
//     listing.PutBlock(text, length);                // throws the error code
//
// Marker origins are those of LStream: 0 from the start, 1 from the current position, 2
// backwards from the end (length - offset, as the base stream counts it). A failed seek or
// length query throws kBadPosition; a failed position query throws the runtime's error number. The
// transfers return 0 or the runtime's error number and never throw or print. GetBytes leaves
// count alone, even after a short read at the end of the file, which it reports as success.
// GetLength does not count bytes still waiting in the runtime's write buffer.
#pragma once

#include "stream/LFile.h"
#include "stream/LStream.h"

class LFileStream : public LFile, public LStream {
public:
    explicit LFileStream(const FileSpec& spec);
    ~LFileStream() override;

    void SetMarker(std::int32_t offset, std::int32_t origin) override;
    std::int32_t GetMarker() const override;
    std::int32_t GetLength() const override;
    std::int32_t PutBytes(const void* source, std::int32_t& count) override;
    std::int32_t GetBytes(void* destination, std::int32_t& count) override;
};
