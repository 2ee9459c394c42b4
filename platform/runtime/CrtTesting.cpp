// The file-call test facility: call log, armed faults, hooks, and the armed signal.
#include "platform/runtime/CrtTesting.h"

#include "platform/runtime/NeverDestroyed.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace crt::detail {

std::atomic<bool> gTestingOn{false};

namespace {

using testing::Operation;

struct ArmedFault {
    testing::Trigger at;
    int error;
    long times;        // -1: for ever
    long matched = 0;  // matching calls so far
};

struct Hook {
    testing::Trigger at;
    std::function<void()> callback;
    long matched = 0;
};

struct StreamInfo {
    std::string path;
    std::string mode;
};

// The signal armed by ArmSignal.
struct ArmedSignal {
    int signal = 0;
    bool after = false;
    long nth = 0;
    bool fired = false;
};

struct State {
    std::mutex mutex;
    std::vector<ArmedFault> faults;
    std::vector<Hook> hooks;
    std::vector<testing::CallRecord> log;
    std::map<std::FILE*, StreamInfo> streams;
    long calls = 0;   // every call since Reset or the start
    ArmedSignal armed;
};

// WATCHOUT: never destroyed, like the gate: file calls may come from threads still running
// while static objects are destroyed at exit.
State& TheState() {
    static platform::NeverDestroyed<State> object;
    return object.get();
}

std::atomic<bool> gStopped{false};
thread_local bool tInHook = false;

bool Matches(const testing::Trigger& at, Operation operation, const std::string& path) {
    const std::string& end = at.pathEndsWith;
    return at.operation == operation &&
           (end.empty() || (path.size() >= end.size() &&
                            path.compare(path.size() - end.size(), end.size(), end) == 0));
}

} // namespace

void TestedCall::Begin(Operation operation, const char* path, std::FILE* stream) {
    if (tInHook) return;
    State& state = TheState();
    std::vector<std::function<void()>> due;
    bool signalBefore = false;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        testing::CallRecord record{operation, path ? path : "", "", false};
        if (stream) {
            const auto known = state.streams.find(stream);
            if (known != state.streams.end()) {
                record.path = known->second.path;
                record.mode = known->second.mode;
            }
        }
        for (ArmedFault& fault : state.faults) {
            if (!Matches(fault.at, operation, record.path)) continue;
            ++fault.matched;
            const bool inRange = fault.matched >= fault.at.nth &&
                                 (fault.times < 0 || fault.matched < fault.at.nth + fault.times);
            if (inRange && !mFails && operation != Operation::Eof && operation != Operation::Keep) {
                mFails = true;
                mError = fault.error;
            }
        }
        for (Hook& hook : state.hooks) {
            if (!Matches(hook.at, operation, record.path)) continue;
            if (++hook.matched == hook.at.nth) due.push_back(hook.callback);
        }
        record.failed = mFails;
        state.log.push_back(record);
        ++state.calls;
        ArmedSignal& armed = state.armed;
        if (armed.signal != 0 && !armed.fired && state.calls == armed.nth &&
            !gStopped.load()) {
            armed.fired = true;
            (armed.after ? mSignalAfter : signalBefore) = true;
        }
    }
    tInHook = true;
    for (auto& callback : due) callback();
    tInHook = false;
    if (signalBefore) SignalAndWait();
}

void TestedCall::SignalAndWait() {
    mSignalAfter = false;
    State& state = TheState();
    int signal = 0;
    long nth = 0;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        signal = state.armed.signal;
        nth = state.armed.nth;
    }
    std::fprintf(stderr, "test hook: signal %d at file call %ld\n", signal, nth);
    std::fflush(stderr);
    // To the process, not to this thread: the stop signals are taken by a thread of their own.
    ::kill(::getpid(), signal);
    // Held here until the file work is stopped, so the interruption lands at this very call.
    // A stop that never comes lets the program go on after a while, which the test then sees.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!gStopped.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TestedCall::Opened(std::FILE* stream, const char* path, const char* mode) {
    if (!TestingOn()) return;
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.streams[stream] = StreamInfo{path, mode};
}

void TestedCall::Closed(std::FILE* stream) {
    if (!TestingOn()) return;
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.streams.erase(stream);
}

void NoteFileWorkStopped() {
    gStopped.store(true);
}

} // namespace crt::detail

namespace crt::testing {

using detail::TheState;

void ArmFault(const Trigger& at, int error, long times) {
    detail::State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.faults.push_back(detail::ArmedFault{at, error, times});
}

void OnCall(const Trigger& at, std::function<void()> callback) {
    detail::State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.hooks.push_back(detail::Hook{at, std::move(callback)});
}

void ArmSignal(int signal, bool after, long nth) {
    detail::State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.armed = detail::ArmedSignal{signal, after, nth, false};
    detail::gTestingOn.store(true);
}

namespace {

// Forgets the faults and hooks. Turning on starts a new call log, counting from 0; turning off
// also forgets the streams it was following.
void Restart(bool on) {
    detail::State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.faults.clear();
    state.hooks.clear();
    if (on) {
        state.log.clear();
        state.calls = 0;
    } else {
        state.streams.clear();
    }
    detail::gTestingOn.store(on);
}

} // namespace

void Reset() {
    Restart(true);
}

void Disable() {
    Restart(false);
}

std::vector<CallRecord> CallLog() {
    detail::State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.log;
}

} // namespace crt::testing
