// Paths and names as archives hold them: folders nested past any old limit, accents, stored
// names in other scripts, inputs that are no file in a folder (a pipe, /dev/stdin), media that
// take no file. Each test runs the real program headless.
#include "tests/cli/Cli.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

using cli::CommandLine;
using cli::MakeKob;
using cli::Names;
using cli::RunDudez;
using cli::TempDir;
using cli::WaveOf;
using testsupport::ListDir;
using testsupport::ReadFileBytes;

namespace {

testsupport::Finished RunShell(const std::string& cwd, const std::string& command) {
    testsupport::Launch launch;
    launch.argv = {"/bin/sh", "-c", command};
    launch.environment = {{"DUDEZ", testsupport::DudezBinary()}};
    launch.workingDirectory = cwd;
    return testsupport::RunToEnd(launch, 60000);
}

} // namespace

TEST_F(CommandLine, AStoredNameInAnotherScriptIsNamedAfterTheKobFile) {
    // The naming rules keep only printable ASCII: the middle names would be empty, or the
    // hidden ".wav". They take the KOB file's name instead, and nothing after them is lost.
    const auto intro = kobtest::Music("Intro.aif", 2, 500, 1);
    const auto japanese = kobtest::Music("\xE9\x8C\xB2\xE9\x9F\xB3", 2, 500, 2);   // 録音
    const auto control = kobtest::Music("\x01\x02.wav", 2, 500, 3);
    const auto outro = kobtest::Music("Outro.aif", 2, 500, 4);
    for (const std::string given : {"album.kob", "./album.kob"}) {
        SCOPED_TRACE(given);
        TempDir folder;
        kobtest::WriteKob(folder.File("album.kob"), kobenc::Encode({intro, japanese, control, outro}));
        const testsupport::Finished run = RunDudez(folder.Path(), {given});
        EXPECT_EQ(run.code, 0) << run.out << run.err;
        EXPECT_EQ(ListDir(folder.Path()), (Names{"album.1.wav", "album.kob", "album.wav", "intro.wav", "outro.wav"}));
        EXPECT_TRUE(ReadFileBytes(folder.File("album.wav")) == kobtest::ExpectedWave(2, 44100, japanese.samples));
        EXPECT_TRUE(ReadFileBytes(folder.File("album.1.wav")) == kobtest::ExpectedWave(2, 44100, control.samples));
        EXPECT_TRUE(ReadFileBytes(folder.File("outro.wav")) == kobtest::ExpectedWave(2, 44100, outro.samples));
    }
}

TEST_F(CommandLine, PathsOfAnyLengthConvertWithTheirFullNames) {
    // Folders with accents, nested to 1,000 bytes, found and handed over as a newcomer would.
    const std::string component = "Bänd-Aufnahmen-Ørsted-été-";   // 29 bytes, 4 of them accents
    std::string path = dir.Path();
    std::vector<std::string> inputs;
    for (int depth = 1; path.size() < 1000; ++depth) {
        path += "/" + component + std::to_string(depth);
        std::filesystem::create_directory(path);
        if (depth % 10 == 0 || path.size() + 30 >= 1000) inputs.push_back(path);
    }
    const std::string longStored(200, 'x');
    for (std::size_t i = 0; i < inputs.size(); ++i)
        MakeKob(inputs[i] + "/tape.kob", i == 0 ? longStored + ".aif" : "Damaged Take.AIF", static_cast<std::uint32_t>(i));
    const testsupport::Finished run = RunShell(dir.Path(), "find . -name '*.kob' -print0 | xargs -0 \"$DUDEZ\"");
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_GE(inputs.back().size(), 970u);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string wave = inputs[i] + "/" + (i == 0 ? longStored : std::string("damaged take")) + ".wav";
        EXPECT_TRUE(ReadFileBytes(wave) == WaveOf(i == 0 ? longStored + ".aif" : "Damaged Take.AIF", static_cast<std::uint32_t>(i)))
            << wave.size() << " bytes: " << wave;
    }

    // A name is opened whole: one whose first 254 bytes name another KOB file is not that file.
    const std::string folder = dir.File("p");
    std::filesystem::create_directory(folder);
    const std::string shorter = folder + "/" + std::string(254 - folder.size() - 1, 'k');
    MakeKob(shorter, "Shorter.aif", 7);
    MakeKob(shorter + "-longer.kob", "Longer.aif", 8);
    const testsupport::Finished exact = RunDudez(dir.Path(), {shorter + "-longer.kob"});
    EXPECT_EQ(exact.code, 0) << exact.out << exact.err;
    EXPECT_TRUE(ReadFileBytes(folder + "/longer.wav") == WaveOf("Longer.aif", 8));
    EXPECT_FALSE(testsupport::FileExists(folder + "/shorter.wav"));
}

TEST_F(CommandLine, AnInputThatIsNoFileInAFolderWritesIntoTheCurrentDirectory) {
    MakeKob(dir.File("a.kob"), "A.aif", 1);
    std::filesystem::create_directory(dir.File("here"));
    // Redirected, piped, or through the process's own descriptors: read whole, converted, and
    // written where the user is, never into /dev or /proc.
    const testsupport::Finished redirected = RunShell(dir.File("here"), "\"$DUDEZ\" /dev/stdin < ../a.kob");
    EXPECT_EQ(redirected.code, 0) << redirected.out << redirected.err;
    const testsupport::Finished piped = RunShell(dir.File("here"), "cat ../a.kob | \"$DUDEZ\" /dev/stdin");
    EXPECT_EQ(piped.code, 0) << piped.out << piped.err;
    const testsupport::Finished own = RunShell(dir.File("here"), "cat ../a.kob | \"$DUDEZ\" /proc/self/fd/0");
    EXPECT_EQ(own.code, 0) << own.out << own.err;
    EXPECT_EQ(ListDir(dir.File("here")), (Names{"a.1.wav", "a.2.wav", "a.wav"}));
    for (const char* name : {"a.wav", "a.1.wav", "a.2.wav"})
        EXPECT_TRUE(ReadFileBytes(dir.File("here/") + name) == WaveOf("A.aif", 1)) << name;
    EXPECT_FALSE(testsupport::FileExists("/dev/a.wav"));
    EXPECT_EQ(piped.out.find("/dev/stdin: wrote a.1.wav\n"), 0u) << piped.out;
}
