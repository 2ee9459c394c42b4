// LFile: a named file with at most one open handle, its data fork, on top of the runtime's
// buffered file streams. The file streams join it with LStream; the converter also uses a bare
// LFile to test whether an output name can be created.
//
//     LFile probe(spec);
//     probe.CreateWritableFile(creator, fileType, 0);   // throws kCannotOpen when it cannot be created
//     probe.CloseDataFork();
//
// Failing runtime calls are reported on standard error in the runtime's error-report form
// ("LFile::OpenDataFork...fopen: No such file or directory") and most are thrown as plain
// std::int32_t codes: 1 for a failed open, 2 for a failed allocation, -1 for a failed seek or
// status query, otherwise the runtime's error number. Creator and file type codes are accepted
// and ignored on this platform. The destructor closes the data fork.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "stream/FileSpec.h"

class LFile {
public:
    explicit LFile(const FileSpec& spec);
    virtual ~LFile();
    LFile(const LFile&) = delete;
    LFile& operator=(const LFile&) = delete;

    // Closes both forks (and the stream of a creation not yet opened), then names another file.
    virtual void SetFileSpec(const FileSpec& spec);
    // Creates the file, empty. A failure throws the runtime's error number (nothing when that is
    // 0). WATCHOUT: an existing file is never opened, so never truncated: a name taken since it
    // was chosen fails with EEXIST.
    // The stream of the creation is kept (the data fork stays closed) for the OpenDataFork(2)
    // that follows, so that what is written goes into the very file made here. Opening the name
    // again would follow whatever link or file someone put there in between, in a folder that
    // others may write into.
    virtual void CreateNewFile(std::uint32_t creator, std::uint32_t fileType, std::int32_t reserved);
    // Creates the file and keeps it open for writing; a failure throws kCannotOpen. As CreateNewFile, it
    // never opens an existing file.
    virtual void CreateWritableFile(std::uint32_t creator, std::uint32_t fileType,
                                    std::int32_t reserved);
    // Permission 2 opens the file that CreateNewFile has just made, for reading and writing;
    // without such a creation it creates or truncates the file. Every other value opens an
    // existing file for reading only. A failure leaves the fork closed and throws kCannotOpen.
    virtual std::FILE* OpenDataFork(std::int16_t permission);
    // Makes stream the data fork (closing the one open): the input read whole into a file of
    // its own, for an input that cannot be positioned.
    void AdoptDataFork(std::FILE* stream);
    // Closes the data fork if it is open; never throws.
    virtual void CloseDataFork();
    // Closes the data fork of a file just written. A failing close means the runtime could not
    // write out what it still held, so the file is incomplete: the failure is traced as by
    // CloseDataFork and thrown as the error number (EIO when there is none). The fork is closed
    // either way. WATCHOUT: a plain fclose, for the uncached streams; a cached stream must
    // flush its cache first.
    void FinishDataFork();
    // The whole file in a new block that the caller owns.
    virtual std::unique_ptr<std::uint8_t[]> ReadDataFork();
    // Writes count bytes at the start of the file; returns the number written.
    virtual std::int32_t WriteDataFork(const void* source, std::int32_t count);
    // There is no second fork on this platform: these only keep mAuxFork null.
    virtual void OpenAuxFork(std::int32_t permission);
    virtual void CloseAuxFork();

    // The open data fork, null when closed.
    std::FILE* GetDataFork() const { return mDataFork; }
    const FileSpec& GetFileSpec() const { return mSpec; }
    // The error number of the last creation or open that failed here (0 when none has): the
    // reason behind a thrown 1, which later calls may have overwritten in errno by now.
    int GetOpenError() const { return mOpenError; }

protected:
    FileSpec mSpec;       // the file's specifier, copied at construction
    std::FILE* mDataFork; // the open data fork; null when closed
    std::FILE* mAuxFork;  // a second fork; always null on this platform

private:
    void DropCreated();

    std::FILE* mCreated = nullptr;   // the stream CreateNewFile made, until OpenDataFork(2) takes it
    int mOpenError = 0;              // see GetOpenError
};

// Deletes the file spec names; the outcome is neither reported nor thrown.
void RemoveSpecFile(const FileSpec& spec);
