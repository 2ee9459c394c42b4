// Another user acting on the folders while dudez runs, as on a shared disk: root converts
// /pub/m/d/x.kob, where /pub is sticky and m and d belong to that user, who meanwhile keeps
// exchanging d with a link to a folder only root may enter, or moves d away and back. Nothing
// may be created in, or removed from, that folder or the current directory; every output stays
// in the folder the input was opened in, wherever that folder has gone.
#include "tests/harness/KobFiles.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>

using testsupport::ListDir;
using testsupport::TempDir;
using Names = std::vector<std::string>;

namespace {

constexpr int kEntries = 200;
constexpr int kTrials = 6;

uid_t UnusedUser() {
    uid_t uid = 60000 + static_cast<uid_t>(getpid()) % 5000;
    while (getpwuid(uid) != nullptr) ++uid;
    return uid;
}

// A KOB file of many short recordings, all stored as "Take.aif": the probe of each tries that
// name, and the outputs take.wav, take.1.wav, ...
void MakeManyTakes(const std::string& path) {
    std::vector<kobenc::Recording> recordings;
    for (int i = 0; i < kEntries; ++i) recordings.push_back(kobtest::Music("Take.aif", 1, 64, static_cast<std::uint32_t>(i)));
    kobtest::WriteKob(path, kobenc::Encode(recordings));
}

// The other user, until stopped: exchanges m/d with m/link (a link to the vault), or moves d
// away and back.
pid_t StartMischief(uid_t user, const std::string& m, bool exchange) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    if (setgid(user) != 0 || setuid(user) != 0) _exit(125);
    const std::string d = m + "/d", link = m + "/link", away = m + "/away";
    for (;;) {
        if (exchange) {
            renameat2(AT_FDCWD, d.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE);
        } else {
            rename(d.c_str(), away.c_str());
            rename(away.c_str(), d.c_str());
        }
    }
}

// Waits (a few seconds at most) until the process has a file open whose path ends with name.
void WaitUntilOpen(pid_t pid, const std::string& name) {
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    for (int look = 0; look < 200000; ++look) {
        std::error_code error;
        for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
            std::error_code unreadable;
            const std::string target = std::filesystem::read_symlink(fd.path(), unreadable).string();
            if (target.ends_with(name)) return;
        }
        if (error) return;   // it has ended already
    }
}

} // namespace

TEST(Folder, AnotherUserMovingTheFolderCannotSendAFileElsewhere) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root and a second user";
    if (testsupport::DudezBinary().empty()) GTEST_SKIP() << "the dudez program was not built";
    const uid_t user = UnusedUser();
    long outputsSeen = 0;
    for (const bool exchange : {true, false}) {
        for (int trial = 0; trial < kTrials; ++trial) {
            SCOPED_TRACE(std::string(exchange ? "exchanged with a link" : "moved away and back") + ", trial " +
                         std::to_string(trial));
            TempDir top;
            const std::string pub = top.File("pub"), m = pub + "/m", vault = top.File("vault"), cwd = top.File("cwd");
            for (const std::string& folder : {pub, m, m + "/d", vault, cwd}) std::filesystem::create_directory(folder);
            chmod(top.Path().c_str(), 0755);
            chmod(pub.c_str(), 01777);
            chmod(vault.c_str(), 0700);
            MakeManyTakes(m + "/d/x.kob");
            // Named as the probe's first file would be: a probe removed by its name would take it.
            testsupport::WriteFileText(vault + "/Take.aif", "root's own");
            for (const std::string& path : {m, m + "/d", m + "/d/x.kob"}) chown(path.c_str(), user, user);
            chmod(cwd.c_str(), 0777);
            std::filesystem::create_symlink(vault, m + "/link");
            lchown((m + "/link").c_str(), user, user);

            testsupport::Launch launch;
            launch.argv = {testsupport::DudezBinary(), m + "/d/x.kob"};
            launch.workingDirectory = cwd;
            launch.stdoutPath = top.File("out");
            launch.stderrPath = top.File("err");
            const pid_t dudez = testsupport::StartProcess(launch);
            WaitUntilOpen(dudez, "/x.kob");
            const pid_t mischief = StartMischief(user, m, exchange);
            testsupport::Finished run;
            run.code = testsupport::WaitForExit(dudez, 60000);
            kill(mischief, SIGKILL);
            waitpid(mischief, nullptr, 0);
            run.out = testsupport::ReadFileText(top.File("out"));
            run.err = testsupport::ReadFileText(top.File("err"));

            ASSERT_NE(run.code, -1);
            EXPECT_EQ(ListDir(vault), Names{"Take.aif"}) << run.out;
            EXPECT_EQ(testsupport::ReadFileText(vault + "/Take.aif"), "root's own");
            EXPECT_EQ(ListDir(cwd), Names{}) << run.out;
            // Every output is in the folder itself, wherever it is now.
            const bool atD = std::filesystem::is_directory(m + "/d") && !std::filesystem::is_symlink(m + "/d");
            const std::string folder = atD ? m + "/d" : exchange ? m + "/link" : m + "/away";
            const Names outputs = ListDir(folder);
            EXPECT_EQ(run.code, 0) << run.out << run.err;
            EXPECT_EQ(outputs.size(), static_cast<std::size_t>(kEntries + 1)) << folder;
            outputsSeen += static_cast<long>(outputs.size()) - 1;
            if (HasFailure()) return;
        }
    }
    std::cout << "[ field    ] " << 2 * kTrials << " runs of " << kEntries << " entries with the folder moved under them: "
              << outputsSeen << " outputs, none outside it" << std::endl;
}
