// DamageListing: the ".err" text file beside an output file that lists its damaged stretches.
//
// The file is created at the entry's first damaged block, so an entry without damage leaves no
// listing. Its first line is "128/10"; then one line per stretch: "128/11", the first frame,
// "128/12", the first frame after the stretch and, for entries of more than one channel, the
// channel ("128/13" for 1, "128/14" for 2, else "128/15" n "128/16"). Items are written bare, with
// no separators, and every line ends with a carriage return alone.
#pragma once

#include "stream/FileSpec.h"
#include "stream/LFileStream.h"

#include <cstdint>
#include <memory>

class DamageListing {
public:
    explicit DamageListing(const FileSpec& spec) : mSpec(spec) {}

    // Passed as the channel for a line without a channel item (single-channel entries, and the
    // silence that completes a cut-off entry).
    static constexpr std::int32_t kNoChannel = -1;

    // Adds one line, creating the file first if this is the first one.
    void AddStretch(std::int32_t firstFrame, std::int32_t endFrame, std::int32_t channel);

    // Closes the file, if one was started.
    void Close() { mStream.reset(); }
    // Closes the file of a complete listing, if one was started; a close that could not write
    // out the last lines is thrown as the error number.
    void Finish();

private:
    void Open();
    void PutText(const char* text);
    void PutNumber(std::int32_t value);

    FileSpec mSpec;                         // where the listing goes
    std::unique_ptr<LFileStream> mStream;   // open once the first line has been asked for
};
