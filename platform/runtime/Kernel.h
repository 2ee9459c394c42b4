// The system's version as the program asks for it.
//
// GetVersion packs the version the way the platform does: major version in the low byte, minor
// version in the next byte, build number in the high word, whose top bit is set for the old
// family of the platform (short file names) and clear for the NT family. This system reports
// NT 6.1, build 7601. Tests can make it report another value.
#pragma once

#include "platform/runtime/WinTypes.h"

DWORD GetVersion();

namespace platform {

// From now on GetVersion reports `version` (for tests of version-dependent behaviour; they hand
// back what GetVersion said before when they are done).
void SetReportedVersionForTesting(DWORD version);

} // namespace platform

// The module instance of the program for a null name (never null); null for any other name, as
// the program loads no other modules.
HMODULE GetModuleHandleA(LPCSTR name);
