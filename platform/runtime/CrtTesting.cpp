// The file-call test facility: call log, armed faults, hooks, and the armed signal.
#include "platform/runtime/CrtTesting.h"

#include "platform/runtime/NeverDestroyed.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace crt::detail {

std::atomic<bool> gTestingOn{false};
std::atomic<bool> gFileWorkStopped{false};

namespace {

using testing::Operation;

// A fault, or a hook (the one with a callback, which acts at the nth matching call alone).
struct Armed {
    testing::Trigger at;
    long times;        // how many matching calls it acts on from the nth; -1: for ever
    int error;         // a fault's
    std::function<void()> callback;
    long matched = 0;  // matching calls so far
};

// The signal armed by ArmSignal.
struct ArmedSignal {
    int signal = 0;
    bool after = false;
    long nth = 0;
    long holdMs = 0;   // signal 0: the longest hold (0: two minutes)
    bool writesOnly = false;   // nth counts writes alone
    long counted = 0;          // calls counted so far
    bool fired = false;
};

struct State {
    std::mutex mutex;
    std::vector<Armed> armed;
    std::vector<testing::CallRecord> log;   // every call since Reset or the start
    // The streams followed: each with the record of the open that made it.
    std::map<std::FILE*, testing::CallRecord> streams;
    ArmedSignal signal;
    long throttleEvery = 0;   // Throttle: a pause after every this many calls (0: none)
    long throttleMs = 0;
};

// The state, and the lock that holds it for as long as the lock lives.
// WATCHOUT: never destroyed, like the gate: file calls may come from threads still running
// while static objects are destroyed at exit.
std::pair<State&, std::unique_lock<std::mutex>> Locked() {
    static platform::NeverDestroyed<State> object;
    State& state = object.get();
    return {state, std::unique_lock<std::mutex>(state.mutex)};
}

thread_local bool tInHook = false;

// A '*' in the pattern stands for any characters but '/' (a hidden name's random letters).
bool Matches(const testing::Trigger& at, Operation operation, const std::string& path) {
    if (at.operation != operation) return false;
    const std::string& pattern = at.pathEndsWith;
    const std::size_t star = pattern.find('*');
    if (star == std::string::npos) return path.ends_with(pattern);
    const std::string before = pattern.substr(0, star);
    const std::string after = pattern.substr(star + 1);
    const std::size_t at_ = path.rfind(before);
    if (at_ == std::string::npos) return false;
    const std::string rest = path.substr(at_ + before.size());
    return rest.ends_with(after) && rest.find('/') == std::string::npos;
}

} // namespace

void TestedCall::Begin(Operation operation, const char* path, std::FILE* stream) {
    if (tInHook) return;
    std::vector<std::function<void()>> due;
    bool signalBefore = false;
    long pauseMs = 0;
    {
        auto [state, lock] = Locked();
        testing::CallRecord record{operation, path ? path : "", "", false};
        const auto opened = state.streams.find(stream);
        if (opened != state.streams.end()) {
            record = opened->second;
            record.operation = operation;
        }
        for (Armed& armed : state.armed) {
            if (!Matches(armed.at, operation, record.path)) continue;
            ++armed.matched;
            if (armed.matched < armed.at.nth ||
                (armed.times >= 0 && armed.matched >= armed.at.nth + armed.times))
                continue;
            if (armed.callback) {
                due.push_back(armed.callback);
            } else if (!mFails && operation != Operation::Eof && operation != Operation::Keep) {
                mFails = true;
                mError = armed.error;
            }
        }
        record.failed = mFails;
        state.log.push_back(record);
        ArmedSignal& armed = state.signal;
        if (!armed.writesOnly || operation == Operation::Write) ++armed.counted;
        if (armed.nth > 0 && !armed.fired && armed.counted == armed.nth && !gFileWorkStopped.load()) {
            armed.fired = true;
            (armed.after ? mSignalAfter : signalBefore) = true;
        }
        if (state.throttleEvery > 0 && static_cast<long>(state.log.size()) % state.throttleEvery == 0 &&
            !gFileWorkStopped.load())
            pauseMs = state.throttleMs;
    }
    tInHook = true;
    for (auto& callback : due) callback();
    tInHook = false;
    if (signalBefore) SignalAndWait();
    if (pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
}

void TestedCall::SignalAndWait() {
    const ArmedSignal armed = Locked().first.signal;   // copied while the lock is held
    if (armed.signal != 0) {
        std::fprintf(stderr, "test hook: signal %d at file call %ld\n", armed.signal, armed.nth);
        std::fflush(stderr);
        // To the process, not to this thread: the stop signals are taken by a thread of their own.
        ::kill(::getpid(), armed.signal);
    }
    // Held here until the file work is stopped, so the interruption lands at this very call.
    // A stop that never comes lets the program go on after a while, which the test then sees.
    const long holdMs = armed.signal != 0 ? 10000 : armed.holdMs > 0 ? armed.holdMs : 120000;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(holdMs);
    while (!gFileWorkStopped.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TestedCall::Follow(std::FILE* stream, const char* path, const char* mode) {
    if (!TestingOn()) return;
    auto [state, lock] = Locked();
    if (path)
        state.streams[stream] = testing::CallRecord{Operation::Open, path, mode, false};
    else
        state.streams.erase(stream);
}

} // namespace crt::detail

namespace crt::testing {

void ArmFault(const Trigger& at, int error, long times) {
    auto [state, lock] = detail::Locked();
    state.armed.push_back(detail::Armed{at, times, error, nullptr});
}

void OnCall(const Trigger& at, std::function<void()> callback) {
    auto [state, lock] = detail::Locked();
    state.armed.push_back(detail::Armed{at, 1, 0, std::move(callback)});
}

void ArmSignal(int signal, bool after, long nth, long holdMs, bool writesOnly) {
    auto [state, lock] = detail::Locked();
    state.signal = detail::ArmedSignal{signal, after, nth, holdMs, writesOnly, 0, false};
    detail::gTestingOn.store(true);
}

void Throttle(long every, long pauseMs) {
    auto [state, lock] = detail::Locked();
    state.throttleEvery = every;
    state.throttleMs = pauseMs;
    detail::gTestingOn.store(true);
}

// Both forget the faults and hooks.
void Reset() {
    auto [state, lock] = detail::Locked();
    state.throttleEvery = 0;
    state.armed.clear();
    state.log.clear();
    detail::gTestingOn.store(true);
}

// Also forgets the streams it was following.
void Disable() {
    auto [state, lock] = detail::Locked();
    state.throttleEvery = 0;
    state.armed.clear();
    state.streams.clear();
    detail::gTestingOn.store(false);
}

std::vector<CallRecord> CallLog() {
    return detail::Locked().first.log;   // copied while the lock is held
}

} // namespace crt::testing
