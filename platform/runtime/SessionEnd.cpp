#include "platform/runtime/SessionEnd.h"

#include "platform/runtime/NeverDestroyed.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <stdio_ext.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// How long a write of the end may still take after a stop (a slow reader gets its report), and
// how often a blocked one is poked once that time is over: well within a second all told.
constexpr auto kGrace = std::chrono::milliseconds(300);
constexpr auto kPokeInterval = std::chrono::milliseconds(20);

// The signal that makes a blocked call of a thread fail with EINTR. SIGURG is ignored unless
// asked for, and this program owns no socket that could raise it.
constexpr int kPoke = SIGURG;

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

std::atomic<bool> gSignalled{false};
std::atomic<bool> gCut{false};

struct Ending {
    std::mutex mutex;                       // guards what follows
    std::vector<pthread_t> poked;           // the threads whose blocking calls a stop cuts short
    std::optional<Clock::time_point> begunAt;
    std::optional<Clock::time_point> stoppedAt;
    bool poking = false;
};

Ending& TheEnding() {
    // WATCHOUT: never destroyed: the poking thread runs until the process is gone.
    static NeverDestroyed<Ending> ending;
    return ending.get();
}

void OnPoke(int) {}

// Once the end has begun and the program was stopped: a grace after the later of the two, the
// end is cut and every thread named is poked until the process is gone. The caller holds the
// lock.
void StartPokingWhenDue(Ending& ending) {
    if (ending.poking || !ending.begunAt || !ending.stoppedAt) return;
    ending.poking = true;
    const Clock::time_point due = std::max(*ending.begunAt, *ending.stoppedAt) + kGrace;
    try {
        std::thread([&ending, due] {
            std::this_thread::sleep_until(due);
            gCut.store(true);
            for (;;) {
                {
                    std::lock_guard<std::mutex> lock(ending.mutex);
                    for (pthread_t thread : ending.poked) pthread_kill(thread, kPoke);
                }
                std::this_thread::sleep_for(kPokeInterval);
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the end is cut all the same, so a write that a signal
        // interrupts gives up.
        gCut.store(true);
    }
}

void NoteStop() {
    Ending& ending = TheEnding();
    std::lock_guard<std::mutex> lock(ending.mutex);
    if (!ending.stoppedAt) ending.stoppedAt = Clock::now();
    StartPokingWhenDue(ending);
}

// Runs last of the exit handlers: a process that got a stop signal ends as stopped, even when
// the signal came while it wrote its end after a batch that was done.
void EndAsStoppedWhenSignalled() {
    if (!gSignalled.load()) return;
    for (std::FILE* stream : {stdout, stderr}) {
        // A stream another thread holds (blocked in a write of its own) is left alone.
        if (ftrylockfile(stream) != 0) continue;
        if (std::fflush(stream) != 0) __fpurge(stream);
        funlockfile(stream);
    }
    _exit(1);
}

} // namespace

void BlockStopSignals() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void KeepWriteFailuresAsErrors() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

void KeepWorkingInTheBackground() {
    std::signal(SIGTTOU, SIG_IGN);
    std::signal(SIGTTIN, SIG_IGN);
}

void OnStopSignals(std::function<void()> deliver) {
    // No SA_RESTART: a poked write fails with EINTR instead of going on.
    struct sigaction poke {};
    poke.sa_handler = OnPoke;
    sigemptyset(&poke.sa_mask);
    sigaction(kPoke, &poke, nullptr);
    // Registered before every other exit handler, so it runs after them all.
    std::atexit(EndAsStoppedWhenSignalled);

    std::thread([deliver = std::move(deliver)] {
        const sigset_t set = StopSignals();
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0) continue;
            gSignalled.store(true);
            NoteStop();
            deliver();
        }
    }).detach();
}

void BeginEnding(bool stopped) {
    CutOnStop();
    Ending& ending = TheEnding();
    std::lock_guard<std::mutex> lock(ending.mutex);
    ending.begunAt = Clock::now();
    if (stopped && !ending.stoppedAt) ending.stoppedAt = Clock::now();
    StartPokingWhenDue(ending);
}

void CutOnStop() {
    Ending& ending = TheEnding();
    std::lock_guard<std::mutex> lock(ending.mutex);
    ending.poked.push_back(pthread_self());
}

void ForgetCutting() {
    Ending& ending = TheEnding();
    std::lock_guard<std::mutex> lock(ending.mutex);
    const pthread_t self = pthread_self();
    std::erase_if(ending.poked, [self](pthread_t thread) { return pthread_equal(thread, self); });
}

bool EndIsCut() {
    return gCut.load();
}

bool StopSignalled() {
    return gSignalled.load();
}

bool WriteUnlessStopped(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        // Only a write that blocks is poked: a file or a reader that takes it gets all of it.
        const ssize_t written = write(descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR && !EndIsCut()) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace platform
