#include <gtest/gtest.h>

#include "phonemes.h"
#include "words.h"

namespace Vantrix {
namespace {

TEST(PhonemeTable, LookupsAreExactAndBounded) {
    EXPECT_EQ(PhonemeIdOf("sil"), 40);
    EXPECT_EQ(PhonemeIdOf("SIL"), -1);
    EXPECT_EQ(PhonemeIdOf(nullptr), -1);
    for (int32_t id = 0; id < kPhonemeIdCount; ++id)
        EXPECT_EQ(PhonemeIdOf(PhonemeNameOf(id)), id);
    EXPECT_EQ(PhonemeNameOf(41), nullptr);
    EXPECT_TRUE(IsVowelPhoneme(15));
    EXPECT_FALSE(IsVowelPhoneme(16));
    EXPECT_FALSE(IsVowelPhoneme(-1));
}

TEST(PhonemeAndWord, ConstructionAndSettersRefuseBadValues) {
    EXPECT_THROW(TPhoneme(40, 50, 49), EErrorType);
    TPhoneme p("ax", 10, 40, 7, true);
    EXPECT_TRUE(p.IsVowel());
    EXPECT_EQ(p.SetEmphasisA(-0.1), eetArgumentFailure);
    TWord w("hi", 200, 100); // a word's times stay ordered
    EXPECT_EQ(w.EndMs(), 0);
    EXPECT_EQ(w.SetEnd(0), eetRangeFailure);
    EXPECT_EQ(w.SetEnd(1), eetSuccess);
}

class TCountingClient : public ANotificationClient {
public:
    void OnNotify(ANotificationServer& server) override { count += server.Kind() == 1; }
    int count = 0;
};

// Segments [0,100], [100,200], [200,300] with a counting client attached.
class PhonemeListTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int32_t t = 0; t < 300; t += 100)
            ASSERT_EQ(list.AppendSegment({40, t, t + 100}), 0);
        list.Attach(&client);
    }
    void ExpectTimes(std::vector<int32_t> bounds) {
        ASSERT_EQ(size_t(list.Count()) + 1, bounds.size());
        for (int32_t i = 0; i < list.Count(); ++i) {
            EXPECT_EQ(list[i].StartMs(), bounds[size_t(i)]) << "segment " << i;
            EXPECT_EQ(list[i].EndMs(), bounds[size_t(i) + 1]) << "segment " << i;
        }
    }
    bool Move(int32_t i, int32_t& s, int32_t& e) {
        bool changed = false;
        EXPECT_EQ(list.SetSegmentTimes(i, s, e, changed), eetSuccess);
        return changed;
    }
    TPhonemeList list;
    TCountingClient client;
};

TEST_F(PhonemeListTest, AppendSegmentKeepsContiguityAndMinimumLength) {
    EXPECT_EQ(client.count, 0);
    EXPECT_EQ(list.AppendSegment({1, 301, 400}), eetArgumentFailure);
    EXPECT_EQ(list.AppendSegment({1, 300, 315}), eetArgumentFailure);
    EXPECT_EQ(list.AppendSegment({1, 300, 316}), eetSuccess);
    EXPECT_EQ(list.EndTime(), 316);
    EXPECT_EQ(client.count, 1);
}

TEST_F(PhonemeListTest, RemoveGivesInnerSegmentToNeighbours) {
    EXPECT_EQ(list.RemoveSegment(3), eetRangeFailure);
    EXPECT_EQ(list.RemoveSegment(1), eetSuccess);
    ExpectTimes({0, 150, 300});
    EXPECT_EQ(list.RemoveSegment(0), eetSuccess);
    ExpectTimes({150, 300});
    EXPECT_EQ(client.count, 2);
}

TEST_F(PhonemeListTest, SetSegmentTimesLimits) {
    int32_t s = 100, e = 200;
    EXPECT_FALSE(Move(1, s, e));
    EXPECT_EQ(client.count, 0) << "an unchanged request does not notify";
    e = 110; // end only: lengthened
    EXPECT_TRUE(Move(1, s, e));
    ExpectTimes({0, 100, 116, 300});
    s = 10, e = 290; // both: the neighbours keep 16 ms
    EXPECT_TRUE(Move(1, s, e));
    ExpectTimes({0, 16, 284, 300});
    s = 120, e = 250;
    EXPECT_FALSE(Move(1, s, e));
    s = 290, e = 295; // clamped, then too short: centred in the old segment
    EXPECT_TRUE(Move(1, s, e));
    ExpectTimes({0, 177, 193, 300});
    s = 190; // start only: shortened to 16 ms before the end
    EXPECT_TRUE(Move(1, s, e));
    ExpectTimes({0, 177, 193, 300});
    EXPECT_EQ(client.count, 5);
}

TEST_F(PhonemeListTest, PerIndexSettersRefuseBadValues) {
    EXPECT_EQ(list.SetTimes(0, 0, 15), eetArgumentFailure);
    EXPECT_EQ(list.SetTimes(0, 0, 16), eetSuccess);
    EXPECT_EQ(list.SetTimes(3, 0, 100), eetRangeFailure);
    EXPECT_EQ(list.SetEmphasisB(1, -1.0), eetArgumentFailure);
}

} // namespace
} // namespace Vantrix
