#include "stream/LFileStream.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>

#include "platform/runtime/Crt.h"
#include "stream/ErrorCode.h"

LFileStream::LFileStream(const FileSpec& spec) : LFile(spec), LStream() {}

LFileStream::~LFileStream() = default;

void LFileStream::SetMarker(std::int32_t offset, std::int32_t origin) {
    long runtimeOffset = offset;
    int whence;
    switch (origin) {
    case 0: whence = SEEK_SET; break;
    case 1: whence = SEEK_CUR; break;
    // Origin 2 counts backwards from the end, as in every other stream of the program; the
    // runtime counts forwards from the end, so the offset changes sign on the way.
    case 2: whence = SEEK_END; runtimeOffset = -runtimeOffset; break;
    default: throw ErrorCode{kBadPosition};
    }
    if (!mDataFork || crt::fseek(mDataFork, runtimeOffset, whence) != 0)
        throw ErrorCode{kBadPosition};
}

std::int32_t LFileStream::GetMarker() const {
    if (!mDataFork) throw ErrorCode{EBADF};
    errno = 0;
    const long position = crt::ftell(mDataFork);
    if (position == -1 && errno != 0) throw ErrorCode{errno};
    // Positions are 32-bit here; one that does not fit must not come back as a wrong one.
    if (position > INT32_MAX) throw ErrorCode{EOVERFLOW};
    return static_cast<std::int32_t>(position);
}

std::int32_t LFileStream::GetLength() const {
    struct stat status {};
    if (!mDataFork || crt::fstat(mDataFork, &status) != 0) throw ErrorCode{kBadPosition};
    if (status.st_size > INT32_MAX) throw ErrorCode{kBadPosition};
    return static_cast<std::int32_t>(status.st_size);
}

std::int32_t LFileStream::PutBytes(const void* source, std::int32_t& count) {
    if (count < 0) return EINVAL;
    if (!mDataFork) return EBADF;
    errno = 0;
    const auto wanted = static_cast<std::size_t>(count);
    if (crt::fwrite(source, 1, wanted, mDataFork) == wanted) return 0;
    // WATCHOUT: a short write is a failure even when the runtime left no error number.
    return errno != 0 ? errno : EIO;
}

std::int32_t LFileStream::GetBytes(void* destination, std::int32_t& count) {
    if (count < 0) return EINVAL;
    if (!mDataFork) return EBADF;
    errno = 0;
    const auto wanted = static_cast<std::size_t>(count);
    if (crt::fread(destination, 1, wanted, mDataFork) == wanted) return 0;
    if (crt::feof(mDataFork)) return 0;
    return errno != 0 ? errno : EIO;
}
