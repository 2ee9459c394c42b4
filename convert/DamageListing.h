// DamageListing: the ".err" text file beside an output file that lists its damaged stretches.
//
// The file is created at the entry's first damaged block, so an entry without damage leaves no
// listing. Its first line is "128/10"; then one line per stretch: "128/11", the first frame,
// "128/12", the first frame after the stretch and, for entries of more than one channel, the
// channel ("128/13" for 1, "128/14" for 2, else "128/15" n "128/16"). Items are written bare, with
// no separators, and every line ends with a carriage return alone.
//
// Like the WAVE file, it is written under a hidden name of its own and gets its name (the WAVE
// file's final name with ".err", or the next free one) when it is published, once the WAVE file
// holds that final name: so no other copy of the program converting into the folder can be
// naming a listing after the same WAVE name at the same time.
#pragma once

#include "stream/FileSpec.h"
#include "stream/LFileStream.h"

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class DamageListing {
public:
    // wave: the first name of the output it lists (the listing goes into its folder). A dry
    // listing creates nothing and keeps the stretches for the report instead.
    explicit DamageListing(const FileSpec& wave, bool dry = false) : mWave(wave), mDry(dry) {}

    // Passed as the channel for a line without a channel item (single-channel entries, and the
    // silence that completes a cut-off entry).
    static constexpr std::int32_t kNoChannel = -1;

    struct Stretch {
        std::int32_t firstFrame;
        std::int32_t endFrame;
        std::int32_t channel;   // kNoChannel when the line has none
    };

    // Adds one line, creating the file first if this is the first one.
    void AddStretch(std::int32_t firstFrame, std::int32_t endFrame, std::int32_t channel);

    // Ends the listing of an entry that failed. It stays, named after the WAVE file's first
    // name, when it holds at least one whole line about a damaged stretch; one that never got
    // that far (a full disk) tells nothing and is removed.
    void Close();
    // Closes the file of a complete listing, if one was started; a close that could not write
    // out the last lines is thrown as the error number.
    void Finish();
    // Whether a listing file was started, to be published with its WAVE file.
    bool HasFile() const { return mMade && !mDry; }
    // Gives a finished listing its name beside wave: wave's name with ".err", or the next free
    // one. The WAVE file already holds its final name (waveName, in the same folder), still
    // unfinished: the listing's rename completes both in one step. `tell` gets the listing's path
    // to show just before each rename is tried, and `untell` is called after one that failed. A
    // rename that fails, or a listing that is not the file made any more, is thrown as its error
    // number.
    void PublishBeside(const FileSpec& wave, const char* waveName, const std::function<void(const std::string&)>& tell,
                       const std::function<void()>& untell);

    // How many stretches it lists.
    long Stretches() const { return mStretches; }
    // The stretches of a dry listing (the first thousand: enough to tell a person).
    const std::vector<Stretch>& Listed() const { return mListed; }

private:
    void Open();
    void PutText(const char* text);
    void PutNumber(std::int32_t value);
    void RemoveTemporary();
    // Renames it from its hidden name to wave's name with ".err", or the next free one, complete
    // from then on, with the file alsoComplete names when given. 0, or the error number of the
    // rename that failed.
    int RenameBeside(const FileSpec& wave, const char* alsoComplete = nullptr,
                     const std::function<void(const std::string&)>& tell = {}, const std::function<void()>& untell = {});
    // Whether the name it has now is still the file it made.
    bool StillOurs() const;

    FileSpec mWave;                         // the output it belongs to
    FileSpec mTemp;                         // its hidden name while it is written
    FileSpec mSpec;                         // its name, once published
    std::unique_ptr<LFileStream> mStream;   // open once the first line has been asked for
    std::int64_t mFirstLineEnd = 0;         // file size once the first stretch's line is in
    struct stat mMadeStatus {};             // the file made: a name that leads elsewhere is not it
    bool mMade = false;                     // the hidden file exists
    bool mFinished = false;                 // written and closed whole
    bool mNamed = false;                    // under its name (mSpec), not the hidden one
    bool mDry = false;
    long mStretches = 0;                    // lines added
    std::vector<Stretch> mListed;           // a dry listing's stretches
};
