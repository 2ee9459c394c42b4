// Running programs from tests: the dudez program built with the suite, or any other (xterm),
// started in a session of its own and waited for with a timeout.
//
//     testsupport::Launch launch;
//     launch.argv = {testsupport::DudezBinary(), "a.kob"};
//     launch.stderrPath = logs.File("stderr.txt");
//     const pid_t pid = testsupport::StartProcess(launch);
//     EXPECT_EQ(testsupport::WaitForExit(pid, 20000), 0);
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// The dudez program of this build; empty when it was not built. Inline, because the path is
// given to each test program when it is compiled.
inline std::string DudezBinary() {
#ifdef DUDEZ_BINARY
    return DUDEZ_BINARY;
#else
    return "";
#endif
}

// The same program with the interruption tests' hook (DUDEZ_TEST_SIGNAL_AT); empty when it was
// not built.
inline std::string HookedDudezBinary() {
#ifdef DUDEZ_HOOKED_BINARY
    return DUDEZ_HOOKED_BINARY;
#else
    return "";
#endif
}

// The hook's variable, and its value that holds that program at its `write`-th write, sending
// no signal, until it is ended (or for holdMs, when given): a batch still in the middle of a
// file when a test acts on it, however fast the program converts. Writes, not every file call,
// are counted: a file's writes are as many however its input is read.
inline constexpr const char* kHookVariable = "DUDEZ_TEST_SIGNAL_AT";
inline std::string HeldAtWrite(long write, long holdMs = 0) {
    return "0:before:" + std::to_string(write) + ":" + std::to_string(holdMs) + ":writes";
}

struct Launch {
    std::vector<std::string> argv;   // argv[0] is the program; without a '/' it is looked up in PATH
    std::string stdoutPath;          // where its standard output goes; empty: /dev/null
    std::string stderrPath;          // the same for standard error
    std::string display;             // DISPLAY for it; empty: no display at all
    std::vector<std::pair<std::string, std::string>> environment;   // set for it
    std::vector<std::string> unsetEnvironment;                       // removed for it
    std::string workingDirectory;    // empty: the test's own
    int outputFd = -1;               // when set: standard output and error both go here (a pipe)
    std::function<void()> inChild;   // run in the child just before it becomes the program
                                     // (limits, another user); only system calls belong here
};

// Starts the program in a session of its own (so without a controlling terminal), with standard
// input from /dev/null. Returns its process id.
pid_t StartProcess(const Launch& launch);

// The program's exit code (128 + the signal when a signal ended it), or -1 when it is still
// running after the timeout; it is then killed and reaped when killOnTimeout is set.
int WaitForExit(pid_t pid, int timeoutMs, bool killOnTimeout = true);

// What a program that ran to its end left: its exit code (as WaitForExit gives it) and what it
// wrote to standard output and standard error.
struct Finished {
    int code = -1;
    std::string out;
    std::string err;
};

// Starts the program with its output streams in files of their own (unless launch.outputFd is
// set: then out and err stay empty), waits for it (timeoutMs scaled for slow builds) and reads
// what it wrote.
Finished RunToEnd(Launch launch, int timeoutMs);

} // namespace testsupport
