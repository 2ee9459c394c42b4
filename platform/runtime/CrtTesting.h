// The side of the file-call test facility that the runtime's file calls use: one TestedCall
// object per call, made before the call takes the gate and gone after it has left it.
//
//     detail::TestedCall call(Operation::Open, path, nullptr);
//     if (call.Refused()) return nullptr;
//     Lock lock(Gate());
//     ...
//
// While the facility is off, making and dropping the object is one relaxed atomic load.
#pragma once

#include "platform/runtime/Crt.h"

#include <atomic>
#include <cerrno>

namespace crt::detail {

// Whether a test has turned the facility on.
extern std::atomic<bool> gTestingOn;

inline bool TestingOn() {
    return gTestingOn.load(std::memory_order_relaxed);
}

class TestedCall {
public:
    TestedCall(testing::Operation operation, const char* path, std::FILE* stream) {
        if (TestingOn()) Begin(operation, path, stream);
    }
    ~TestedCall() {
        if (mSignalAfter) SignalAndWait();
    }
    TestedCall(const TestedCall&) = delete;
    TestedCall& operator=(const TestedCall&) = delete;

    bool Fails() const { return mFails; }
    int Error() const { return mError; }
    // Fails, with errno set to the armed error: the call reports its failure at once.
    bool Refused() const {
        if (mFails) errno = mError;
        return mFails;
    }

    // A stream was opened with path and mode: its path is known from now on. Without a path, it
    // is being closed: its path is forgotten.
    static void Follow(std::FILE* stream, const char* path = nullptr, const char* mode = nullptr);

private:
    void Begin(testing::Operation operation, const char* path, std::FILE* stream);
    void SignalAndWait();

    bool mFails = false;        // an armed fault makes this call fail
    int mError = 0;             // the errno it fails with
    bool mSignalAfter = false;  // the armed signal is due once the call is done
};

// Set by StopFileWork once the gate is shut.
extern std::atomic<bool> gFileWorkStopped;

} // namespace crt::detail
