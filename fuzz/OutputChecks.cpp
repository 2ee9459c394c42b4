#include "fuzz/OutputChecks.h"

#include "platform/runtime/ByteOrder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzzcheck {

namespace {

std::uint32_t LE16(const std::string& s, std::size_t at) {
    return byteorder::LE16(reinterpret_cast<const std::uint8_t*>(s.data() + at));
}

std::uint32_t LE32(const std::string& s, std::size_t at) {
    return byteorder::LE32(reinterpret_cast<const std::uint8_t*>(s.data() + at));
}

// Takes the text at `at` when it stands there.
bool Take(const std::string& s, std::size_t& at, const char* text) {
    const std::string t(text);
    if (s.compare(at, t.size(), t) != 0) return false;
    at += t.size();
    return true;
}

// A decimal number as "%d" writes it. Items stand with no separator, so the digits of the
// next item ("128/...") follow at once: a run of digits that ends in front of a '/' leaves its
// last three, "128", to that item.
bool TakeNumber(const std::string& s, std::size_t& at, long long& value) {
    std::size_t start = at;
    if (start < s.size() && s[start] == '-') ++start;
    std::size_t end = start;
    while (end < s.size() && s[end] >= '0' && s[end] <= '9') ++end;
    if (end < s.size() && s[end] == '/') {
        if (end - start < 3 || s.compare(end - 3, 3, "128") != 0) return false;
        end -= 3;
    }
    if (end == start || end - start > 10) return false;
    value = std::stoll(s.substr(at, end - at));
    at = end;
    return value >= INT32_MIN && value <= INT32_MAX;
}

} // namespace

namespace {
// The directory the fuzzer started in while an InDirectory is active: a failure goes back there
// first, so that libFuzzer writes the input that caused it where it was asked to.
int gHome = -1;
} // namespace

void Fail(const std::string& what, const std::string& detail) {
    if (gHome >= 0 && ::fchdir(gHome) != 0) std::perror("fchdir");
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s: %s\n", what.c_str(), detail.c_str());
    std::fflush(stderr);
    std::abort();
}

std::vector<std::string> FolderEntries(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) Fail("cannot list", dir);
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
    return names;
}

void EmptyFolder(const std::string& dir) {
    for (const std::string& name : FolderEntries(dir)) {
        const std::string path = dir + "/" + name;
        if (!IsRegularFile(path)) Fail("not a plain file", path);
        if (::unlink(path.c_str()) != 0) Fail("cannot remove", path);
    }
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string ReadFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail("cannot read", path);
    std::string bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            ::close(fd);
            Fail("cannot read", path);
        }
        if (got == 0) break;
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return bytes;
}

std::string MakePrivateFolder(const std::string& prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = "/tmp";
    if (tmp && *tmp) base = tmp;
    else if (::access("/dev/shm", W_OK | X_OK) == 0) base = "/dev/shm";
    std::string pattern = base + "/" + prefix + "XXXXXX";
    std::vector<char> text(pattern.begin(), pattern.end());
    text.push_back('\0');
    if (!mkdtemp(text.data())) Fail("mkdtemp", pattern);
    return text.data();
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void ReadData(const std::string& path, const std::function<void(std::uint64_t, const char*, std::size_t)>& visit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail("cannot read", path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        Fail("cannot read", path);
    }
    static std::vector<char> chunk(1 << 20);
    const auto size = static_cast<off_t>(st.st_size);
    for (off_t at = 0; at < size;) {
        // Holes read as zeros: they are skipped. Where the system cannot tell, all is data.
        off_t data = ::lseek(fd, at, SEEK_DATA);
        if (data < 0) data = errno == ENXIO ? size : at;
        off_t hole = data < size ? ::lseek(fd, data, SEEK_HOLE) : size;
        if (hole < 0) hole = size;
        for (at = data; at < hole;) {
            const ssize_t got = ::pread(fd, chunk.data(), static_cast<std::size_t>(std::min<off_t>(hole - at, static_cast<off_t>(chunk.size()))), at);
            if (got <= 0) {
                ::close(fd);
                Fail("cannot read", path);
            }
            // Even pieces but the last, so that no two-byte sample is split.
            auto piece = static_cast<std::size_t>(got);
            if (piece % 2 != 0 && at + got < hole) --piece;
            visit(static_cast<std::uint64_t>(at), chunk.data(), piece);
            at += static_cast<off_t>(piece);
        }
        at = std::max(at, hole);
    }
    ::close(fd);
}

void CheckWave(const std::string& path) {
    // Only the header is read: a damaged entry header may declare up to 2 GiB of silence.
    std::string s;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) Fail("cannot read", path);
    const auto size = static_cast<std::size_t>(st.st_size);
    ReadData(path, [&](std::uint64_t at, const char* bytes, std::size_t count) {
        // The header was written, so it is never a hole.
        if (at == s.size() && s.size() < 44) s.append(bytes, std::min<std::size_t>(count, 44 - s.size()));
    });
    if (s.size() < 44) Fail("WAVE file shorter than its header", path);
    if (s.compare(0, 4, "RIFF") != 0 || s.compare(8, 8, "WAVEfmt ") != 0 || s.compare(36, 4, "data") != 0)
        Fail("WAVE chunk names wrong", path);
    if (LE32(s, 4) != size - 8) Fail("RIFF size is not the file's length less 8", path);
    if (LE32(s, 16) != 16 || LE16(s, 20) != 1) Fail("not a PCM format", path);
    if (LE32(s, 40) != size - 44) Fail("data size is not what follows the header", path);
    // The header states the entry's sample size whatever it is, but samples are only ever
    // written 16 bits wide: an entry of another size that holds samples is rejected.
    const std::size_t dataBytes = size - 44;
    if (dataBytes == 0) return;
    const std::uint32_t channels = LE16(s, 22);
    if (LE16(s, 34) != 16) Fail("samples that are not 16 bits wide", path);
    if (LE16(s, 32) != ((channels * 2) & 0xFFFF)) Fail("block align is not channels x 2", path);
    if (channels == 0 || dataBytes % (channels * 2) != 0) Fail("data is not whole frames", path);
}

void CheckListing(const std::string& path) {
    const std::string s = ReadFile(path);
    std::size_t at = 0;
    if (!Take(s, at, "128/10\r")) Fail("listing does not start with its first line", path);
    while (at < s.size()) {
        long long first = 0, end = 0, channel = 0;
        if (!Take(s, at, "128/11") || !TakeNumber(s, at, first) || !Take(s, at, "128/12") ||
            !TakeNumber(s, at, end))
            Fail("listing line malformed", path);
        if (Take(s, at, "128/15")) {
            if (!TakeNumber(s, at, channel) || !Take(s, at, "128/16") || channel == 1 || channel == 2)
                Fail("listing channel item malformed", path);
        } else if (!Take(s, at, "128/13")) {
            Take(s, at, "128/14");
        }
        if (!Take(s, at, "\r")) Fail("listing line not ended by a carriage return", path);
    }
}

InDirectory::InDirectory(const std::string& dir) : mPrevious(::open(".", O_RDONLY | O_DIRECTORY)) {
    if (mPrevious < 0 || ::chdir(dir.c_str()) != 0) Fail("cannot change into", dir);
    gHome = mPrevious;
}

InDirectory::~InDirectory() {
    gHome = -1;
    if (::fchdir(mPrevious) != 0) Fail("cannot change back", "");
    ::close(mPrevious);
}

} // namespace fuzzcheck
