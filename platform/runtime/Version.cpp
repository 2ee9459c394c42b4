// The version the system reports.
#include "platform/runtime/Kernel.h"

#include <atomic>

namespace {

// NT 6.1, build 7601: build in the high word (top bit clear: the NT family), minor 1, major 6.
constexpr DWORD kSystemVersion = (7601u << 16) | (1u << 8) | 6u;

std::atomic<DWORD> gReported{kSystemVersion};

} // namespace

DWORD GetVersion() {
    return gReported.load();
}

namespace platform {

void SetReportedVersionForTesting(DWORD version) {
    gReported.store(version);
}

void ResetReportedVersion() {
    gReported.store(kSystemVersion);
}

} // namespace platform
