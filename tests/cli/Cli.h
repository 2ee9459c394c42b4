// What the command-line tests share: small KOB files with known outputs, and the real program
// run headless, as a script would.
#pragma once

#include "tests/harness/KobFiles.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/kobenc/Damage.h"

#include <gtest/gtest.h>

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

class CommandLine : public testing::Test {
protected:
    void SetUp() override {
        if (testsupport::DudezBinary().empty()) GTEST_SKIP() << "the dudez program was not built";
    }
    TempDir dir;
};

} // namespace cli
