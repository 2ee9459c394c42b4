// Opening the inputs of a batch: each name is opened whole, whatever its length, and the folder
// it is in is opened once as a descriptor beside it, so its outputs go into that very folder
// however its path changes meanwhile.
//
//     InputOpening opening(outputFolder);   // -1: the outputs go beside each input
//     OpenedInput opened = opening.Open("/very/deep/take.kob", stream);
//     ConvertFile(stream, opened.spec, opened.folders);
//
// Names under /dev or /proc (/dev/stdin, /proc/self/fd/0) name no folder of recordings: their
// outputs go into the current directory. An input that cannot be positioned (a pipe, a socket,
// a terminal) is read whole into a file without a name first and converted from there.
#pragma once

#include "convert/OutputNames.h"
#include "stream/FileSpec.h"
#include "stream/LFileCachedStream.h"

#include <optional>
#include <string>

struct OpenedInput {
    FileSpec spec;           // the input's file part in its folder
    OutputFolders folders;   // where its outputs go
};

class InputOpening {
public:
    // outputFolder: the user's folder for every output, or -1 for the input's own folder.
    explicit InputOpening(int outputFolder) : mOutputFolder(outputFolder) {}
    ~InputOpening();
    InputOpening(const InputOpening&) = delete;
    InputOpening& operator=(const InputOpening&) = delete;

    // Opens the input into stream (made here). A failure throws 1 with the reason in error.
    OpenedInput Open(const std::string& name, std::optional<LFileCachedStream>& stream, std::int32_t cacheSize,
                     int& error);

    // The current directory, opened once: where the outputs go when their folder takes none.
    int CurrentFolder();

private:
    int FolderOf(const std::string& directory, int& error);

    int mOutputFolder;
    std::string mDirectory;   // the folder last opened, as named, and its descriptor
    int mFolder = -1;
    int mCurrent = -1;
};
