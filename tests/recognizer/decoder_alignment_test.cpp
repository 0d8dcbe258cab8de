// Two-pass transcript alignment on hand-made classifier rows.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "decoder_test_support.h"
#include "grammar.h"

using namespace Vantrix;

namespace {

struct Aligned {
    TDecoder decoder;
    TPhonemeList phonemes;
    TWordList words;
    Aligned(const FrameProbabilitiesVector& rows, const TPronunciationList& transcript,
            uint32_t rate = 16000) {
        EXPECT_EQ(alignTranscript(decoder, rows, transcript, rate, phonemes, words), 0);
    }
};

const TPronunciationList kSheAt = {{"SHE", {"sh iy"}}, {"AT", {"ae t"}}};

} // namespace

TEST(TranscriptAlignment, PausesAroundAndBetweenWordsBecomeSilence) {
    Aligned a(
        MakeRows({{"sil", 8}, {"sh", 5}, {"iy", 4}, {"sil", 6}, {"ae", 5}, {"t", 3}, {"sil", 8}}),
        kSheAt);
    EXPECT_EQ(Describe(a.words), "SHE 128-272 AT 368-496 ");
    EXPECT_EQ(Describe(a.phonemes), "sil 0-128 sh 128-208 iy 208-272 sil 272-368 ae 368-448 "
                                    "t 448-496 sil 496-624 ");
    for (int32_t i = 0; i < a.phonemes.Count(); ++i) {
        EXPECT_EQ(a.phonemes[i].SourceTag(), i + 1);
    }
    EXPECT_EQ(a.decoder.EarlyEnds(), 0);
}

TEST(TranscriptAlignment, ContiguousWordsWithAChosenPronunciation) {
    Aligned a(MakeRows({{"dh", 3}, {"iy", 4}, {"d", 2}, {"ao", 5}, {"g", 3}}),
              {{"THE", {"dh ax", "dh iy"}}, {"DOG", {"d ao g"}}}, 8000);
    EXPECT_EQ(Describe(a.words), "THE 0-112 DOG 112-272 ");
    EXPECT_EQ(Describe(a.phonemes), "dh 0-48 iy 48-112 d 112-144 ao 144-224 g 224-272 ");
}

TEST(TranscriptAlignment, TooShortForTheTranscriptEndsEarly) {
    Aligned a(MakeRows({{"sh", 5}, {"iy", 4}}),
              {{"SHE", {"sh iy"}}, {"AT", {"ae t"}}, {"AT", {"ae t"}}});
    EXPECT_GE(a.decoder.EarlyEnds(), 1);
    ASSERT_GE(a.words.Count(), 1);
    EXPECT_LT(a.words.Count(), 3);
    EXPECT_EQ(a.words[0].Text(), "SHE");
    EXPECT_EQ(a.phonemes.Last().EndMs(), 144);
}

TEST(TranscriptAlignment, NothingPronounceableFallsBackToTheFreeLoop) {
    Aligned a(MakeRows({{"s", 4}, {"aa", 4}}), {{"XYZZY", {}}, {"QQ", {"no such phonemes"}}});
    EXPECT_TRUE(a.words.IsEmpty());
    EXPECT_EQ(Describe(a.phonemes), "s 0-64 aa 64-128 ");
}

TEST(TranscriptAlignment, RandomScoresKeepWordsAndPhonemesInStep) {
    const TPronunciationList transcript = {{"HELLO", {"hh ax l ow", "hh eh l ow"}},
                                           {"MY", {"m ay"}},
                                           {"LAZY", {"l ey z iy"}},
                                           {"SHE", {"sh iy"}}};
    Aligned a(RandomRows(160, 11), transcript);

    ASSERT_EQ(a.words.Count(), 4);
    EXPECT_EQ(a.phonemes.Last().EndMs(), 160 * 16);
    // Each word covers whole phonemes spelling one of its pronunciations; silence between.
    int32_t p = 0;
    for (int32_t w = 0; w < a.words.Count(); ++w) {
        EXPECT_EQ(a.words[w].Text(), transcript[size_t(w)].word);
        for (; p < a.phonemes.Count() && a.phonemes[p].EndMs() <= a.words[w].StartMs(); ++p)
            EXPECT_STREQ(a.phonemes[p].Name(), "sil");
        ASSERT_LT(p, a.phonemes.Count());
        EXPECT_EQ(a.phonemes[p].StartMs(), a.words[w].StartMs());
        std::string spelled;
        for (; p < a.phonemes.Count() && a.phonemes[p].EndMs() <= a.words[w].EndMs(); ++p)
            spelled += (spelled.empty() ? "" : " ") + std::string(a.phonemes[p].Name());
        EXPECT_EQ(a.phonemes[p - 1].EndMs(), a.words[w].EndMs());
        const auto& prons = transcript[size_t(w)].pronunciations;
        EXPECT_NE(std::find(prons.begin(), prons.end(), spelled), prons.end()) << spelled;
    }
}
