// Hundreds of analyses and frees in one process: memory stays flat. Under the sanitizer build
// the leak checker at exit does the counting; elsewhere the resident size is bounded.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "api_support.h"
#include "voxtrail.h"

using namespace vxtest;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

long ResidentKilobytes() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return -1;
    long pages = 0, resident = 0;
    const int got = std::fscanf(f, "%ld %ld", &pages, &resident);
    std::fclose(f);
    return got == 2 ? resident * 4 : -1;
}

} // namespace

TEST_F(StartedLibrary, ManyAnalysesKeepMemoryFlat) {
    const std::string sound = scratch.File("short.wav");
    WriteWav(sound, 16000, 16, Babble(16000, 0.4));
    const auto settings = Settings(5);
    auto round = [&](int count, bool keepLast) {
        VOXTRAIL_ANALYSIS* a = nullptr;
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(
                VoxtrailGetAnalysis(&a, sound.c_str(), i % 2 ? "hello there" : nullptr, &settings),
                0u);
            int32_t n = 0;
            ASSERT_EQ(VoxtrailGetNumGestures(a, &n), 0u);
            ASSERT_EQ(n, 11);
            if (keepLast && i == count - 1) break; // left for shut-down to free
            ASSERT_EQ(VoxtrailFreeAnalysis(&a), 0u);
        }
    };
    round(50, false);
    const long before = ResidentKilobytes();
    round(kSanitized ? 250 : 400, true);
    const long after = ResidentKilobytes();
    if (!kSanitized && before > 0 && after > 0) {
        EXPECT_LT(after - before, 4 * 1024) << "resident size grew from " << before << " kB";
    }
}
