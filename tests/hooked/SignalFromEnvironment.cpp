// The dudez program as the interruption tests run it: the program itself, plus a stop placed by
// the environment at a chosen file call. Only this test build reads it; the installed program
// reads no environment variable of its own.
//
//     DUDEZ_TEST_SIGNAL_AT="<signal>:before:<n>"   (or "<signal>:after:<n>")
//
// sends <signal> to the process just before (after) its n-th file call and holds the calling
// thread there until the file work has been stopped (crt::testing::ArmSignal). Signal 0 sends
// nothing: the batch only stays there until something else ends the program, or, with
// "0:before:<n>:<ms>", for ms milliseconds at most before it goes on (0: until it is ended).
// "<signal>:before:<n>:<ms>:writes" counts the writes alone.
//
//     DUDEZ_TEST_THROTTLE="<every>:<ms>"
//
// pauses ms milliseconds after every <every>-th file call (crt::testing::Throttle): a batch that
// goes on writing, slowly enough to outlast a test.
#include "platform/runtime/Crt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool ArmFromEnvironment() {
    const char* text = std::getenv("DUDEZ_TEST_SIGNAL_AT");
    int signal = 0;
    long nth = 0;
    long holdMs = 0;
    char when[16] = {};
    char counted[16] = {};
    const int fields = text ? std::sscanf(text, "%d:%15[a-z]:%ld:%ld:%15[a-z]", &signal, when, &nth, &holdMs, counted) : 0;
    if (fields < 3 || signal < 0 || nth <= 0 || holdMs < 0) return false;
    const bool after = std::strcmp(when, "after") == 0;
    if (!after && std::strcmp(when, "before") != 0) return false;
    const bool writesOnly = std::strcmp(counted, "writes") == 0;
    if (fields == 5 && !writesOnly) return false;
    crt::testing::ArmSignal(signal, after, nth, holdMs, writesOnly);
    return true;
}

bool ThrottleFromEnvironment() {
    const char* text = std::getenv("DUDEZ_TEST_THROTTLE");
    long every = 0;
    long pauseMs = 0;
    if (!text || std::sscanf(text, "%ld:%ld", &every, &pauseMs) != 2 || every <= 0 || pauseMs <= 0) return false;
    crt::testing::Throttle(every, pauseMs);
    return true;
}

// Before main, so before the first file call.
[[maybe_unused]] const bool gArmed = ArmFromEnvironment();
[[maybe_unused]] const bool gThrottled = ThrottleFromEnvironment();

} // namespace
