#include "core/out_of_memory.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "core/text_ops.h"

namespace {

void exitWithCount(int64_t requestedBytes) {
    std::fprintf(stderr, "requested %lld\n", static_cast<long long>(requestedBytes));
    std::fflush(stderr);
    std::_Exit(3);
}

// Beyond the 47-bit user address space: refused at once everywhere. (Wine
// searches its address space for seconds before refusing smaller huge sizes.)
constexpr size_t kHuge = size_t{1} << 50;

TEST(OutOfMemoryDeathTest, AFailedAllocationGoesToTheHandlerWithItsSize) {
    EXPECT_EXIT(
        {
            setOutOfMemoryHandler(exitWithCount);
            std::string text;
            text.reserve(kHuge);
        },
        ::testing::ExitedWithCode(3), "requested " + std::to_string(kHuge + 1));
}

TEST(OutOfMemory, TheReadBufferMayFailQuietly) {
    // Allocations that ask not to throw come back empty instead of ending
    // the program: the read buffer of a file is one.
    EXPECT_EQ(static_cast<void*>(new (std::nothrow) char[kHuge]), nullptr);
}

}  // namespace
