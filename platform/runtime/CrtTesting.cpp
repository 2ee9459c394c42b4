// The file-call test facility: call log, armed faults, hooks, and the environment's signal.
#include "platform/runtime/CrtTesting.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace crt::detail {

std::atomic<int> gTestingState{0};

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

// The signal asked for by the environment.
struct EnvironmentSignal {
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
    EnvironmentSignal environment;
};

// WATCHOUT: never destroyed, like the gate: file calls may come from threads still running
// while static objects are destroyed at exit.
State& TheState() {
    static auto* state = new State;
    return *state;
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

bool LookAtEnvironment() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* text = std::getenv("DUDEZ_TEST_SIGNAL_AT");
        EnvironmentSignal wanted;
        char when[16] = {};
        if (text && std::sscanf(text, "%d:%15[a-z]:%ld", &wanted.signal, when, &wanted.nth) == 3 &&
            wanted.signal > 0 && wanted.nth > 0 &&
            (std::strcmp(when, "before") == 0 || std::strcmp(when, "after") == 0)) {
            wanted.after = std::strcmp(when, "after") == 0;
            State& state = TheState();
            std::lock_guard<std::mutex> lock(state.mutex);
            state.environment = wanted;
            int unknown = 0;
            gTestingState.compare_exchange_strong(unknown, 2);
        } else {
            int unknown = 0;
            gTestingState.compare_exchange_strong(unknown, 1);
        }
    });
    return gTestingState.load() == 2;
}

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
        EnvironmentSignal& environment = state.environment;
        if (environment.signal != 0 && !environment.fired && state.calls == environment.nth &&
            !gStopped.load()) {
            environment.fired = true;
            (environment.after ? mSignalAfter : signalBefore) = true;
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
        signal = state.environment.signal;
        nth = state.environment.nth;
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

void Reset() {
    detail::LookAtEnvironment();
    detail::State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.faults.clear();
    state.hooks.clear();
    state.log.clear();
    state.calls = 0;
    detail::gTestingState.store(2);
}

void Disable() {
    detail::LookAtEnvironment();
    detail::State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.faults.clear();
    state.hooks.clear();
    state.streams.clear();
    detail::gTestingState.store(1);
}

std::vector<CallRecord> CallLog() {
    detail::State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.log;
}

} // namespace crt::testing
