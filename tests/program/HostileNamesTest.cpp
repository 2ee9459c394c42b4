// Names that would talk to the terminal or forge the report: a newline and a report line in a
// KOB file's name, escape sequences and a backslash in a folder's. The report keeps one line per
// fact, nothing raw reaches standard output or standard error, and the recipes the README gives
// for scripts hold: the failures are found, and each line's names come back exactly.
#include "tests/support/FileBytes.h"
#include "tests/support/Process.h"
#include "tests/support/StereoKob.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using testsupport::TempDir;

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find(separator, at)) != std::string::npos; at = end + 1)
        parts.push_back(text.substr(at, end - at));
    return parts;
}

// Runs `script` with `interpreter`, the report in a file as its argument; what it writes to
// standard output.
std::string RunScript(const TempDir& dir, const char* interpreter, const std::string& script,
                      const std::string& report) {
    testsupport::WriteFileText(dir.File("report.txt"), report);
    testsupport::WriteFileText(dir.File("script"), script);
    testsupport::Launch launch;
    launch.argv = {interpreter, dir.File("script"), dir.File("report.txt")};
    const testsupport::Finished run = testsupport::RunToEnd(launch, 20000);
    EXPECT_EQ(run.code, 0) << script << run.err;
    return run.out;
}

TEST(HostileNames, TheReportHasOneLinePerFactAndScriptsRecoverEveryName) {
    if (testsupport::DudezBinary().empty()) GTEST_SKIP() << "the dudez program was not built";
    TempDir dir;
    const std::string forged = "rec.kob\nimportant.kob: wrote important.wav\nx";
    const std::string good = testsupport::MakeStereoKob(dir.File(forged), "Take.aif", 3000);
    // A folder that would set the terminal's title and clear its screen, with a backslash and
    // a C1 control (CSI, U+009B) in it.
    const std::string folder = dir.File("t\x1b]0;pwned\x07\x1b[2J\\x1b\xC2\x9B" "1m");
    std::filesystem::create_directory(folder);
    testsupport::WriteFileText(folder + "/bad.kob", "not a KOB file");
    // A name that holds the text of a line written for a good file, for a file that is not.
    const std::string pretender = dir.File("a.kob: wrote a.wav");
    testsupport::WriteFileText(pretender, "not a KOB file either");

    testsupport::Launch launch;
    launch.argv = {testsupport::DudezBinary(), good, folder + "/bad.kob", pretender};
    launch.environment = {{"LANG", "C.UTF-8"}};
    launch.unsetEnvironment = {"LC_ALL", "LC_CTYPE"};
    const testsupport::Finished run = testsupport::RunToEnd(launch, 60000);
    EXPECT_EQ(run.code, 1);

    const std::string shownFolder = dir.File("t\\x1b]0;pwned\\x07\\x1b[2J\\\\x1b\\xc2\\x9b1m");
    const std::vector<std::string> lines = {
        dir.File("rec.kob\\nimportant.kob: wrote important.wav\\nx") + ": wrote " + dir.File("take.wav"),
        shownFolder + "/bad.kob: not a KOB file or corrupted",
        pretender + ": not a KOB file or corrupted",
        "dudez: 3 names, 1 converted (0 with damage), 2 not a KOB file or corrupted, 0 could not be opened, "
        "0 not converted",
    };
    EXPECT_EQ(Split(run.out, '\n'), lines) << run.out;
    // The message lines escape the controls too; a backslash is a name's own character there.
    EXPECT_EQ(run.err, "Error: " + dir.File("t\\x1b]0;pwned\\x07\\x1b[2J\\x1b\\xc2\\x9b1m") +
                           "/bad.kob is not a KOB file or corrupted\nError: " + pretender +
                           " is not a KOB file or corrupted\n");
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos);

    // What went wrong, as the README finds it: every failure, the pretender's among them.
    EXPECT_EQ(RunScript(dir, "sh", "grep -Ev ': wrote .*\\.wav(\\.err)?$' \"$1\"\n", run.out),
              lines[1] + "\n" + lines[2] + "\n" + lines[3] + "\n");
    // Each line with its names as they are, by the README's two recipes.
    const std::vector<std::string> recovered = {
        good + ": wrote " + dir.File("take.wav"),
        folder + "/bad.kob: not a KOB file or corrupted",
        lines[2],
        lines[3],
    };
    EXPECT_EQ(Split(RunScript(dir, "bash", "while IFS= read -r line; do printf -v fact '%b' \"$line\"; printf '%s\\0' \"$fact\"; done < \"$1\"\n",
                              run.out),
                    '\0'),
              recovered)
        << "bash";
    EXPECT_EQ(Split(RunScript(dir, "python3",
                              "import sys, codecs\n"
                              "for line in open(sys.argv[1], 'rb'):\n"
                              "    sys.stdout.buffer.write(codecs.escape_decode(line[:-1])[0] + b'\\0')\n",
                              run.out),
                    '\0'),
              recovered)
        << "python3";
}

} // namespace
