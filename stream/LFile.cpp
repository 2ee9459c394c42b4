#include "stream/LFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <new>

#include "platform/runtime/Crt.h"
#include "stream/ErrorCode.h"

LFile::LFile(const FileSpec& spec) : mSpec(spec), mDataFork(nullptr), mAuxFork(nullptr) {}

LFile::~LFile() {
    // Our own close, not a derived one: the derived parts are gone by now.
    LFile::CloseDataFork();
    LFile::CloseAuxFork();
    DropCreated();
}

void LFile::SetFileSpec(const FileSpec& spec) {
    CloseDataFork();
    CloseAuxFork();
    DropCreated();
    mSpec = spec;
}

void LFile::CreateNewFile(std::uint32_t, std::uint32_t, std::int32_t) {
    DropCreated();
    char path[kPathTextSize];
    errno = 0;
    // Read and write, as OpenDataFork(2) will hand it on.
    std::FILE* stream = crt::fopenat(mSpec.mFolder, FileSpecPathText(mSpec, path), "w+bx");
    if (stream) {
        mCreated = stream;
        return;
    }
    const int error = errno;
    mOpenError = error;
    ::perror("LFile::CreateNewFile...fopen");
    errno = error;
    if (error != 0) throw ErrorCode{error};
}

void LFile::CreateWritableFile(std::uint32_t, std::uint32_t, std::int32_t) {
    char path[kPathTextSize];
    errno = 0;
    mDataFork = crt::fopenat(mSpec.mFolder, FileSpecPathText(mSpec, path), "wbx");
    if (!mDataFork) {
        const int error = errno;
        mOpenError = error;
        ::perror("LFile::CreateNewFile...fopen");
        errno = error;
        throw ErrorCode{kCannotOpen};
    }
}

std::FILE* LFile::OpenDataFork(std::int16_t permission) {
    // A fork still open would otherwise be lost with its unwritten bytes, which the runtime
    // could then write into the file after it has been opened anew.
    if (mDataFork) CloseDataFork();
    if (permission == 2 && mCreated) {
        mDataFork = mCreated;
        mCreated = nullptr;
        return mDataFork;
    }
    DropCreated();
    char path[kPathTextSize];
    errno = 0;
    mDataFork = crt::fopenat(mSpec.mFolder, FileSpecPathText(mSpec, path), permission == 2 ? "wb+" : "rb");
    if (!mDataFork) {
        const int error = errno;
        mOpenError = error;
        ::perror("LFile::OpenDataFork...fopen");
        errno = error;
        throw ErrorCode{kCannotOpen};
    }
    return mDataFork;
}

void LFile::AdoptDataFork(std::FILE* stream) {
    CloseDataFork();
    mDataFork = stream;
}

void LFile::DropCreated() {
    if (!mCreated) return;
    std::FILE* stream = mCreated;
    mCreated = nullptr;
    crt::fclose(stream);   // an empty file: nothing to write out
}

void LFile::CloseDataFork() {
    if (!mDataFork) return;
    std::FILE* stream = mDataFork;
    mDataFork = nullptr;
    if (crt::fclose(stream) != 0) ::perror("LFile::CloseDataFork...fclose");
}

void LFile::FinishDataFork() {
    if (!mDataFork) return;
    std::FILE* stream = mDataFork;
    mDataFork = nullptr;
    errno = 0;
    if (crt::fclose(stream) != 0) {
        const int error = errno != 0 ? errno : EIO;
        ::perror("LFile::CloseDataFork...fclose");
        throw ErrorCode{error};
    }
}

std::unique_ptr<std::uint8_t[]> LFile::ReadDataFork() {
    struct stat status {};
    if (!mDataFork || crt::fstat(mDataFork, &status) != 0) throw ErrorCode{kBadPosition};
    const auto size = static_cast<std::size_t>(status.st_size);
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[size]);
    if (!block) throw ErrorCode{kOutOfMemory};
    if (crt::fseek(mDataFork, 0, SEEK_SET) != 0) throw ErrorCode{kBadPosition};
    errno = 0;
    if (crt::fread(block.get(), 1, size, mDataFork) < size) {
        const int error = errno;
        ::perror("LFile::ReadDataFork()...fread");
        if (error != 0) throw ErrorCode{error};
    }
    return block;
}

std::int32_t LFile::WriteDataFork(const void* source, std::int32_t count) {
    if (!mDataFork || crt::fseek(mDataFork, 0, SEEK_SET) != 0) throw ErrorCode{kBadPosition};
    const std::size_t wanted = count > 0 ? static_cast<std::size_t>(count) : 0;
    // A write counts as failed when it comes up short. The error number alone does not tell:
    // the runtime may set it on a write that succeeded (its terminal test of a device does).
    errno = 0;
    const std::size_t written = crt::fwrite(source, 1, wanted, mDataFork);
    if (written < wanted) {
        const int error = errno != 0 ? errno : EIO;
        ::perror("LFile::WriteDataFork()...fwrite");
        throw ErrorCode{error};
    }
    return static_cast<std::int32_t>(written);
}

void LFile::OpenAuxFork(std::int32_t) {
    mAuxFork = nullptr;
}

void LFile::CloseAuxFork() {
    mAuxFork = nullptr;
}

void RemoveSpecFile(const FileSpec& spec) {
    char path[kPathTextSize];
    crt::unlinkat(spec.mFolder, FileSpecPathText(spec, path));
}
