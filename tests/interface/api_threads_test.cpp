// Several threads calling at once get what one thread gets: every call runs under the lock.
#include <future>
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
    const auto analyse = [&](int i) {
        VOXTRAIL_ANALYSIS* a = nullptr;
        EXPECT_EQ(VoxtrailGetAnalysis(&a, sounds[i].c_str(), transcripts[i], &settings), 0u);
        const Result r = ReadAll(a);
        EXPECT_EQ(VoxtrailFreeAnalysis(&a), 0u);
        return r;
    };
    const Result expected[] = {analyse(0), analyse(1)};
    std::vector<std::future<bool>> threads;
    for (int t = 0; t < 4; ++t)
        threads.push_back(std::async(std::launch::async, [&, t] {
            // Queries of one thread interleave with other threads' analyses.
            return analyse(t % 2) == expected[t % 2] && analyse(1 - t % 2) == expected[1 - t % 2];
        }));
    for (auto& thread : threads)
        EXPECT_TRUE(thread.get());
}
