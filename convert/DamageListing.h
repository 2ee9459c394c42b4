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
#include <string>

class DamageListing {
public:
    // spec: the listing's name as chosen; wave: the name of the output it lists, from which the
    // next free listing name is made when someone else has taken spec by the time it is needed.
    DamageListing(const FileSpec& spec, const FileSpec& wave) : mSpec(spec), mWave(wave) {}

    // Passed as the channel for a line without a channel item (single-channel entries, and the
    // silence that completes a cut-off entry).
    static constexpr std::int32_t kNoChannel = -1;

    // Adds one line, creating the file first if this is the first one.
    void AddStretch(std::int32_t firstFrame, std::int32_t endFrame, std::int32_t channel);

    // Closes the file of an entry that failed, if one was started. It stays when it holds at
    // least one whole line about a damaged stretch; one that never got that far (a full disk)
    // tells nothing and is removed.
    void Close();
    // Closes the file of a complete listing, if one was started; a close that could not write
    // out the last lines is thrown as the error number.
    void Finish();

    // How many stretches it lists.
    long Stretches() const { return mStretches; }

    // The listing's path: the name it was made under once it exists.
    std::string Path() const { return FileSpecPath(mSpec); }

private:
    void Open();
    void PutText(const char* text);
    void PutNumber(std::int32_t value);

    FileSpec mSpec;                         // where the listing goes (its final name once open)
    FileSpec mWave;                         // the output it belongs to
    std::unique_ptr<LFileStream> mStream;   // open once the first line has been asked for
    std::int64_t mFirstLineEnd = 0;         // file size once the first stretch's line is in
    bool mFinished = false;                 // written and closed whole
    long mStretches = 0;                    // lines added
};
