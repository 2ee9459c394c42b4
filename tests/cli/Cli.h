// What the command-line tests share: small KOB files with known outputs, and the real program
// run headless, as a script would.
#pragma once

#include "tests/harness/KobFiles.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/kobenc/Damage.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace cli {

using testsupport::Bytes;
using testsupport::TempDir;
using Names = std::vector<std::string>;

inline constexpr std::uint32_t kFrames = 3000;

inline std::string MakeKob(const std::string& path, const std::string& stored, std::uint32_t seed, bool damaged = false) {
    kobenc::EncodeOptions options;
    options.blockFrames = 1000;
    kobenc::KobFile file = kobenc::Encode({kobtest::Music(stored, 2, kFrames, seed)}, options);
    if (damaged) kobenc::Damage(file.entries[0].blocks[1], kobenc::BlockDamage::DataChecksum);
    return kobtest::WriteKob(path, file);
}

inline Bytes WaveOf(const std::string& stored, std::uint32_t seed) {
    return kobtest::ExpectedWave(2, 44100, kobtest::Music(stored, 2, kFrames, seed).samples);
}

// Runs dudez headless with arguments, in the folder cwd.
inline testsupport::Finished RunDudez(const std::string& cwd, const Names& arguments) {
    testsupport::Launch launch;
    launch.argv = {testsupport::DudezBinary()};
    launch.argv.insert(launch.argv.end(), arguments.begin(), arguments.end());
    launch.workingDirectory = cwd;
    return testsupport::RunToEnd(launch, 60000);
}

// A folder that takes no new file, as read-only media are: a small tmpfs mounted read-only for
// root (who writes through permissions), a folder without write permission for anyone else.
// Fill it between Open and Close; Close gives it back writable (the destructor too).
class ReadOnlyMedium {
public:
    explicit ReadOnlyMedium(std::string path) : mPath(std::move(path)) {}
    ~ReadOnlyMedium() { Release(); }
    ReadOnlyMedium(const ReadOnlyMedium&) = delete;
    ReadOnlyMedium& operator=(const ReadOnlyMedium&) = delete;

    // False (errno set) when root cannot mount a tmpfs here.
    bool Open() {
        std::filesystem::create_directory(mPath);
        if (geteuid() != 0) return true;
        mMounted = ::mount("tmpfs", mPath.c_str(), "tmpfs", 0, "size=1m") == 0;
        return mMounted;
    }
    // Takes no new file from now on.
    bool Close() {
        if (!mMounted) return ::chmod(mPath.c_str(), 0555) == 0;
        return ::mount("tmpfs", mPath.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    void Release() {
        if (mMounted) ::umount2(mPath.c_str(), MNT_DETACH);
        else ::chmod(mPath.c_str(), 0755);
        mMounted = false;
    }
    // The reason a creation there fails.
    const char* Refusal() const { return geteuid() == 0 ? "Read-only file system" : "Permission denied"; }

private:
    std::string mPath;
    bool mMounted = false;
};

class CommandLine : public testing::Test {
protected:
    void SetUp() override {
        if (testsupport::DudezBinary().empty()) GTEST_SKIP() << "the dudez program was not built";
    }
    TempDir dir;
};

} // namespace cli
