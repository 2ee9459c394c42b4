#include "stream/ErrorCode.h"
#include "stream/HeapBlock.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>

TEST(HeapBlock, ABlockThatCannotBeHadThrows2) {
    try {
        HeapBlock block(-1);
        FAIL() << "a negative size must throw";
    } catch (ErrorCode code) {
        EXPECT_EQ(code, 2);
    }
}

namespace {

// Caps the address space, then asks for more than the cap: 0 when that threw 2.
[[noreturn]] void AllocateBeyondTheCap() {
    const rlim_t cap = 256UL << 20;
    rlimit limit{cap, cap};
    setrlimit(RLIMIT_AS, &limit);
    try {
        HeapBlock block(1 << 30);
        std::exit(1);
    } catch (ErrorCode code) {
        std::exit(code == 2 ? 0 : 3);
    }
}

} // namespace

TEST(HeapBlockDeathTest, FailedAllocationThrows2) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's own memory cannot live under an address-space cap";
#endif
    // In a child process, so that the cap and the allocation failure stay there.
    EXPECT_EXIT(AllocateBeyondTheCap(), testing::ExitedWithCode(0), "");
}
