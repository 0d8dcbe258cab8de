// Several threads calling at once get what one thread gets: every call runs under the lock.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "api_support.h"
#include "voxtrail.h"

using namespace vxtest;

TEST_F(StartedLibrary, ThreadsGetTheSameResultsAsOneThread) {
    const std::string sounds[] = {EvaluationSound("hello_world.wav"),
                                  EvaluationSound("phone_message.wav")};
    const char* transcripts[] = {"Hello world. This is a test of automatic lip synchronization.",
                                 nullptr};
    const auto settings = Settings(99);
    Result expected[2];
    for (int i = 0; i < 2; ++i) {
        VOXTRAIL_ANALYSIS* a = Analyse(sounds[i], transcripts[i], &settings);
        ASSERT_NE(a, nullptr);
        expected[i] = ReadAll(a);
        VoxtrailFreeAnalysis(&a);
    }

    constexpr int kThreads = 4, kRounds = 2;
    std::atomic<int> mismatches{0}, failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                const int i = (t + round) % 2;
                VOXTRAIL_ANALYSIS* a = nullptr;
                if (VoxtrailGetAnalysis(&a, sounds[i].c_str(), transcripts[i], &settings) != 0) {
                    ++failures;
                    continue;
                }
                // Queries of one thread interleave with other threads' analyses.
                if (!(ReadAll(a) == expected[i])) ++mismatches;
                if (VoxtrailFreeAnalysis(&a) != 0) ++failures;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(mismatches.load(), 0);
}
