// Hundreds of analyses and frees in one process: memory stays flat, counted by the sanitizer's
// allocator in that build and by the C library's elsewhere.
#include <string>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime, which replaces malloc; GCC ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#else
#include <malloc.h>
#endif

#include <gtest/gtest.h>

#include "api_support.h"
#include "voxtrail.h"

using namespace vxtest;

namespace {

// Bytes the process holds in allocated blocks.
long HeldBytes() {
#if defined(__SANITIZE_ADDRESS__)
    return long(__sanitizer_get_current_allocated_bytes());
#else
    const auto info = mallinfo2();
    return long(info.uordblks + info.hblkhd); // heap and mapped blocks in use
#endif
}

} // namespace

TEST_F(StartedLibrary, ManyAnalysesKeepMemoryFlat) {
    const std::string sound = scratch.File("short.wav");
    WriteWav(sound, 16000, 16, Babble(16000, 0.4));
    const auto settings = Settings(5);
    auto round = [&](int count) {
        for (int i = 0; i < count; ++i) {
            VOXTRAIL_ANALYSIS* a = nullptr;
            ASSERT_EQ(
                VoxtrailGetAnalysis(&a, sound.c_str(), i % 2 ? "hello there" : nullptr, &settings),
                0u);
            ASSERT_EQ(VoxtrailFreeAnalysis(&a), 0u);
        }
    };
    round(50);
    const long before = HeldBytes();
    round(250);
    const long after = HeldBytes();
    ASSERT_GT(before, 0);
    EXPECT_LT(after - before, 256 * 1024) << "held " << before << " bytes before";
}
