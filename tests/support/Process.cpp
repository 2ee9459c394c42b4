#include "tests/support/Process.h"

#include "tests/support/FileBytes.h"
#include "tests/support/Slowdown.h"
#include "tests/support/TempDir.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace testsupport {
namespace {

// In the child: `path` (or /dev/null) as descriptor `target`.
void Redirect(const std::string& path, int target, int flags) {
    const int fd = open(path.empty() ? "/dev/null" : path.c_str(), flags, 0644);
    if (fd < 0) _exit(126);
    dup2(fd, target);
    if (fd != target) close(fd);
}

} // namespace

pid_t StartProcess(const Launch& launch) {
    // The argument list is made before the fork; the child only sets up its session, its
    // environment and its streams, and then becomes the program.
    std::vector<char*> argv;
    for (const auto& arg : launch.argv) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid != 0) return pid;

    setsid();
    if (launch.display.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", launch.display.c_str(), 1);
    for (const auto& name : launch.unsetEnvironment) unsetenv(name.c_str());
    for (const auto& [name, value] : launch.environment) setenv(name.c_str(), value.c_str(), 1);
    Redirect("", 0, O_RDONLY);
    if (launch.outputFd >= 0) {
        dup2(launch.outputFd, 1);
        dup2(launch.outputFd, 2);
        close(launch.outputFd);
    } else {
        Redirect(launch.stdoutPath, 1, O_WRONLY | O_CREAT | O_TRUNC);
        Redirect(launch.stderrPath, 2, O_WRONLY | O_CREAT | O_TRUNC);
    }
    if (!launch.workingDirectory.empty() && chdir(launch.workingDirectory.c_str()) != 0) _exit(126);
    if (launch.inChild) launch.inChild();
    execvp(argv[0], argv.data());
    _exit(127);
}

int WaitForExit(pid_t pid, int timeoutMs, bool killOnTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            if (killOnTimeout) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
            }
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Finished RunToEnd(Launch launch, int timeoutMs) {
    TempDir logs;
    const bool piped = launch.outputFd >= 0;
    if (!piped) {
        launch.stdoutPath = logs.File("out");
        launch.stderrPath = logs.File("err");
    }
    const pid_t pid = StartProcess(launch);
    if (piped) close(launch.outputFd);
    Finished finished;
    finished.code = WaitForExit(pid, timeoutMs * int{kSlowdown});
    if (!piped) {
        finished.out = ReadFileText(logs.File("out"));
        finished.err = ReadFileText(logs.File("err"));
    }
    return finished;
}

} // namespace testsupport
