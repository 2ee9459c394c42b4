// Many copies of dudez at once in one folder, as `xargs -P 16 -n 3 dudez` runs them, over KOB
// files whose recordings share one stored name, told apart only by case and extension. Every
// output must be exact and where it belongs: nothing lost to a name another copy took a moment
// earlier, nothing sent to the fallback, no file reported that was good.
#include "tests/harness/KobFiles.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Process.h"
#include "tests/support/Slowdown.h"
#include "tests/support/TempDir.h"
#include "tools/kobenc/Damage.h"

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <set>

using testsupport::Bytes;
using testsupport::ListDir;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

constexpr int kProcesses = 16;
constexpr int kNamesEach = 3;
constexpr int kInputs = kProcesses * kNamesEach;
constexpr int kTrials = 3;

// Names that all become "take" once lower-cased and stripped of an audio extension.
const char* const kStoredNames[] = {"Take.AIF", "take.aiff", "TAKE.snd", "Take"};

std::string InputName(int i) { return "in" + std::to_string(i) + ".kob"; }

struct Expected {
    Bytes wave;
    Bytes listing;   // empty: the entry has no damage
};

} // namespace

TEST(Parallel, ManyCopiesInOneFolderLoseAndMisplaceNothing) {
    if (testsupport::DudezBinary().empty()) GTEST_SKIP() << "the dudez program was not built";
    // The inputs, and what each must restore to: every fourth has a damaged block, so listings
    // race for their names too. The reference listings come from a run of one copy alone.
    TempDir inputs;
    std::map<std::string, Bytes> kobs;
    for (int i = 0; i < kInputs; ++i) {
        kobenc::EncodeOptions options;
        options.blockFrames = 1000;
        kobenc::KobFile file = kobenc::Encode({kobtest::Music(kStoredNames[i % 4], 2, 3000, static_cast<std::uint32_t>(i + 1))}, options);
        if (i % 4 == 1) kobenc::Damage(file.entries[0].blocks[2], kobenc::BlockDamage::DataChecksum);
        kobs[InputName(i)] = kobenc::Serialise(file).bytes;
    }
    std::map<Bytes, Expected> expectedByWave;   // every input's WAVE bytes are its own
    {
        TempDir alone;
        std::vector<std::string> argv{testsupport::DudezBinary()};
        for (int i = 0; i < kInputs; ++i) {
            testsupport::WriteFileBytes(alone.File(InputName(i)), kobs[InputName(i)]);
            argv.push_back(InputName(i));
        }
        testsupport::Launch launch;
        launch.argv = argv;
        launch.workingDirectory = alone.Path();
        ASSERT_EQ(testsupport::WaitForExit(testsupport::StartProcess(launch), 120000 * int{testsupport::kSlowdown}), 0);
        for (int i = 0; i < kInputs; ++i) {
            const std::string wave = i == 0 ? "take.wav" : "take." + std::to_string(i) + ".wav";
            Expected expected{ReadFileBytes(alone.File(wave)), {}};
            if (i % 4 == 1) expected.listing = ReadFileBytes(alone.File(wave + ".err"));
            ASSERT_TRUE(expectedByWave.emplace(expected.wave, expected).second) << "two inputs restore alike";
        }
    }

    long outputsChecked = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        TempDir dir;
        TempDir cwd;
        TempDir logs;
        for (const auto& [name, bytes] : kobs) testsupport::WriteFileBytes(dir.File(name), bytes);
        std::vector<pid_t> pids;
        for (int p = 0; p < kProcesses; ++p) {
            testsupport::Launch launch;
            launch.argv = {testsupport::DudezBinary()};
            // Spread so that each copy meets the others on every name: copy p takes inputs p,
            // p + 16, p + 32.
            for (int k = 0; k < kNamesEach; ++k) launch.argv.push_back(dir.File(InputName(p + k * kProcesses)));
            launch.workingDirectory = cwd.Path();
            launch.stderrPath = logs.File("err" + std::to_string(p));
            pids.push_back(testsupport::StartProcess(launch));
        }
        for (int p = 0; p < kProcesses; ++p) {
            EXPECT_EQ(testsupport::WaitForExit(pids[static_cast<std::size_t>(p)], 120000 * int{testsupport::kSlowdown}), 0)
                << "copy " << p;
            // The only thing a copy may say is that a name it tried was taken meanwhile.
            std::string err = testsupport::ReadFileText(logs.File("err" + std::to_string(p)));
            const std::string taken = "LFile::CreateNewFile...fopen: File exists\n";
            for (std::size_t at; (at = err.find(taken)) != std::string::npos;) err.erase(at, taken.size());
            EXPECT_EQ(err, "") << "copy " << p;
        }
        EXPECT_EQ(ListDir(cwd.Path()), std::vector<std::string>{}) << "outputs went to the fallback";

        // Every input's output exactly once, each listing beside the output it belongs to.
        std::set<Bytes> seen;
        int waves = 0;
        for (const std::string& name : ListDir(dir.Path())) {
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".kob") == 0) continue;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".err") == 0) continue;
            ++waves;
            const Bytes wave = ReadFileBytes(dir.File(name));
            const auto known = expectedByWave.find(wave);
            if (known == expectedByWave.end()) {
                ADD_FAILURE() << name << " is no input's complete output";
                continue;
            }
            EXPECT_TRUE(seen.insert(wave).second) << name << " was written twice";
            const bool hasListing = testsupport::FileExists(dir.File(name + ".err"));
            EXPECT_EQ(hasListing, !known->second.listing.empty()) << name;
            if (hasListing) {
                EXPECT_TRUE(ReadFileBytes(dir.File(name + ".err")) == known->second.listing) << name;
            }
            ++outputsChecked;
        }
        EXPECT_EQ(waves, kInputs);
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(kInputs));
        if (HasFailure()) break;
    }
    std::cout << "[ parallel ] " << kTrials << " trials of " << kProcesses << " copies at once, " << outputsChecked
              << " outputs checked" << std::endl;
}
