#include "platform/display/terminal/HeldOutput.h"

#include "platform/display/terminal/WriteAll.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace platform::display::terminal {
namespace {

// Filled once at Begin, read at Release (possibly from a signal handler): plain descriptors.
int gHoldFile = -1;          // the temporary file both held streams write to
int gSaved[3] = {-1, -1, -1};  // the original descriptors 1 and 2, when held
std::atomic<bool> gHolding{false};

// Whether the descriptor writes to the terminal `tty`. /dev/tty is only an alias for the
// controlling terminal, so the devices are compared through their sessions when needed.
bool SameTerminal(int descriptor, const struct stat& tty) {
    struct stat info;
    if (!isatty(descriptor) || fstat(descriptor, &info) != 0) return false;
    if (info.st_rdev == tty.st_rdev) return true;
    const pid_t session = tcgetsid(descriptor);
    return session >= 0 && session == getsid(0);
}

int MakeHoldFile() {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/dudez-held-XXXXXX";
    int file = mkstemp(pattern.data());
    if (file < 0 && (folder && *folder)) {
        pattern = "/tmp/dudez-held-XXXXXX";
        file = mkstemp(pattern.data());
    }
    if (file >= 0) unlink(pattern.c_str());
    return file;
}

} // namespace

void HeldOutput::Begin(int tty) {
    struct stat ttyInfo;
    if (gHolding.load() || fstat(tty, &ttyInfo) != 0) return;
    const bool out = SameTerminal(1, ttyInfo);
    const bool err = SameTerminal(2, ttyInfo);
    if (!out && !err) return;
    gHoldFile = MakeHoldFile();
    if (gHoldFile < 0) return;   // then the output goes over the window, but nothing is lost
    std::fflush(stdout);
    std::fflush(stderr);
    // Standard output stays line-buffered, as it is on a terminal, so that its lines and those
    // of standard error come out in the order they were written.
    if (out) std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    for (int stream : {1, 2}) {
        if (!(stream == 1 ? out : err)) continue;
        gSaved[stream] = dup(stream);
        if (gSaved[stream] >= 0) dup2(gHoldFile, stream);
    }
    gHolding.store(true);
}

void HeldOutput::Release(bool flushStdio) {
    if (!gHolding.exchange(false)) return;
    if (flushStdio) {
        std::fflush(stdout);
        std::fflush(stderr);
    }
    int target = -1;
    for (int stream : {1, 2}) {
        if (gSaved[stream] < 0) continue;
        dup2(gSaved[stream], stream);
        close(gSaved[stream]);
        gSaved[stream] = -1;
        target = stream;
    }
    if (target < 0) return;
    char buffer[4096];
    off_t offset = 0;
    for (;;) {
        const ssize_t got = pread(gHoldFile, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        WriteAll(target, buffer, static_cast<std::size_t>(got));
        offset += got;
    }
}

} // namespace platform::display::terminal
