#include "convert/OutputFile.h"

#include "platform/runtime/Crt.h"

#include <sys/random.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

namespace {

constexpr char kMark[] = ".dudez-";
constexpr int kRandomLetters = 6;
constexpr std::size_t kNameMax = 255;   // bytes in one name on this system

// Six letters and digits. From the system's random source; should it fail, from the clock and
// a counter, which are unique enough for an exclusive creation that retries on a clash.
std::string RandomLetters() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[kRandomLetters] = {};
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        static std::atomic<unsigned long long> counter{0};
        unsigned long long seed = static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count()) ^ (counter++ * 0x9E3779B97F4A7C15ull);
        for (unsigned char& byte : bytes) {
            byte = static_cast<unsigned char>(seed);
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            byte ^= static_cast<unsigned char>(seed >> 33);
        }
    }
    std::string letters;
    for (const unsigned char byte : bytes) letters += kLetters[byte % (sizeof kLetters - 1)];
    return letters;
}

// How many bytes of text fit in room without cutting a UTF-8 character in two.
std::size_t FittingPrefix(const std::string& text, std::size_t room) {
    if (text.size() <= room) return text.size();
    std::size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return cut;
}

} // namespace

FileSpec TemporaryNameFor(const FileSpec& final) {
    const std::string name = FileSpecPath(final);
    const std::size_t slash = name.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    const std::string filePart = slash == std::string::npos ? name : name.substr(slash + 1);
    const std::size_t fixed = 1 + std::strlen(kMark) + kRandomLetters;
    // The whole text must fit the record's 255 bytes, and the file part one name's.
    const long left = static_cast<long>(std::min(kNameMax, std::size_t{255} - std::min<std::size_t>(directory.size(), 255))) -
                      static_cast<long>(fixed);
    const std::size_t room = left > 0 ? static_cast<std::size_t>(left) : 0;
    std::string temp = directory;
    temp += '.';
    temp.append(filePart, 0, FittingPrefix(filePart, room));
    temp += kMark;
    temp += RandomLetters();
    return MakeFileSpec(final.mFolder, temp);
}

bool IsMadeFile(int folder, const char* name, const struct stat& made) {
    struct stat now {};
    return crt::fstatat(folder, name, &now) == 0 && now.st_dev == made.st_dev && now.st_ino == made.st_ino;
}
