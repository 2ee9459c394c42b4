// How many times slower the program runs in this build: sanitizer builds are much slower, so
// tests that make the program work for a while (to act in the middle of it) give it less to do
// there, and still see it finish in time.
#pragma once

#include <cstddef>

namespace testsupport {

#if defined(__SANITIZE_THREAD__)
inline constexpr std::size_t kSlowdown = 10;
#elif defined(__SANITIZE_ADDRESS__)
inline constexpr std::size_t kSlowdown = 3;
#else
inline constexpr std::size_t kSlowdown = 1;
#endif

} // namespace testsupport
