// The decoder on hand-made classifier rows: scores, model table, grammars, the free phoneme
// loop and the two-pass transcript alignment.
#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "../core/thrown.h"
#include "decoder.h"
#include "grammar.h"
#include "log_score.h"
#include "phoneme_models.h"

using namespace Vantrix;

namespace {

// Rows where the named class is certain (score 0) and every other class at the floor.
FrameProbabilitiesVector MakeRows(const std::vector<std::pair<const char*, int>>& runs) {
    FrameProbabilitiesVector rows;
    int32_t index = 0;
    for (const auto& run : runs)
        for (int i = 0; i < run.second; ++i) {
            rows.Include(index);
            rows.At(index).scores.assign(kPhonemeClassCount, 255);
            rows.At(index++).scores[size_t(PhonemeClassOf(run.first))] = 0;
        }
    rows.At(rows.High()).flags = 128;
    return rows;
}

// Rows of random scores, the last one flagged.
FrameProbabilitiesVector RandomRows(int32_t frames, unsigned seed) {
    std::mt19937 random(seed);
    FrameProbabilitiesVector rows;
    rows.Include(0);
    rows.Include(frames - 1);
    for (int32_t i = 0; i < frames; ++i) {
        rows.At(i).scores.resize(kPhonemeClassCount);
        for (uint8_t& b : rows.At(i).scores)
            b = uint8_t(random() & 255);
    }
    rows.At(frames - 1).flags = 128;
    return rows;
}

// "name start-end " for every phoneme or word.
template <typename List> std::string Describe(const List& list) {
    std::ostringstream out;
    for (const auto& item : list) {
        if constexpr (std::is_same_v<List, TWordList>)
            out << item.Text();
        else
            out << item.Name();
        out << ' ' << item.StartMs() << '-' << item.EndMs() << ' ';
    }
    return out.str();
}

// Grid, contiguity from 0 to the end of the rows, running index, and minimum durations.
void ExpectWellFormed(const TPhonemeList& list, int32_t frames) {
    ASSERT_FALSE(list.IsEmpty());
    EXPECT_EQ(list[0].StartMs(), 0);
    EXPECT_EQ(list.Last().EndMs(), frames * kFrameMs);
    for (int32_t i = 0; i < list.Count(); ++i) {
        const TPhoneme& p = list[i];
        EXPECT_EQ(p.StartMs() % kFrameMs, 0);
        EXPECT_EQ(p.StartMs(), i > 0 ? list[i - 1].EndMs() : 0);
        EXPECT_EQ(p.SourceTag(), i + 1);
        EXPECT_GE(p.DurationMs(), kPhonemeModels[PhonemeClassOf(p.Name())].states * kFrameMs)
            << p.Name();
    }
}

TPhonemeList Loop(const FrameProbabilitiesVector& rows) {
    TDecoder decoder;
    TPhonemeList phonemes;
    EXPECT_EQ(decodePhonemeLoop(decoder, rows, phonemes), 0);
    return phonemes;
}

// A decoder and the lists it fills.
class Decoding : public testing::Test {
protected:
    TDecoder decoder;
    TPhonemeList phonemes;
    TWordList words;

    void Align(const FrameProbabilitiesVector& rows, const TPronunciationList& transcript,
               uint32_t rate = 16000) {
        EXPECT_EQ(alignTranscript(decoder, rows, transcript, rate, phonemes, words), 0);
    }
};

} // namespace

TEST(Scores, LogScoresPerClassConstantsAndTheModelTable) {
    EXPECT_EQ(LogScore(0.1), -8192);
    EXPECT_EQ(LogScore(0.99), -36);
    EXPECT_EQ(LogScore(0.0), kUnreachableScore);
    EXPECT_EQ(uint32_t(kUnreachableScore), 0xC0000000u);
    const TPhonemeModels models;
    EXPECT_EQ(models.ExitScore(0), -6773);
    EXPECT_EQ(models.StayScore(0), -574);
    // A certain class scores 1 / prior; the floor byte far below.
    EXPECT_EQ(models.AcousticScore(0, 0), -models.PriorScore(0));
    EXPECT_EQ(models.AcousticScore(0, 255), -30138);
    EXPECT_EQ(models.AcousticScore(40, 24), 20472);
    EXPECT_EQ(TPhonemeModels(0.5).PriorScore(0), models.PriorScore(0) / 2);

    // The model table is in the classifier's order.
    EXPECT_STREQ(kPhonemeModels[0].name, "sil");
    EXPECT_STREQ(kPhonemeModels[40].name, "zh");
    for (int32_t cls = 0; cls < kPhonemeClassCount; ++cls) {
        const PhonemeModel& m = kPhonemeModels[cls];
        EXPECT_EQ(PhonemeClassOf(m.name), cls);
        EXPECT_GE(PhonemeIdOf(m.name), 0) << m.name; // stored by name in the result list
        EXPECT_NEAR(m.stay + m.exit, 1.0, 2e-6) << m.name;
    }
}

TEST(Grammar, LoopAndLinearLayouts) {
    const TGrammar loop = BuildPhonemeLoopGrammar();
    ASSERT_EQ(loop.NodeCount(), 1);
    ASSERT_EQ(loop.Arcs().size(), size_t(kPhonemeClassCount));
    EXPECT_EQ(loop.Word(loop.Arcs()[6].word).text, "ax");

    // Unknown phoneme names make a pronunciation unusable, and a word without one is left out.
    const TGrammar g =
        BuildLinearGrammar({{"THE", {"dh ax", "dh  iy", "dh q"}}, {"XYZ", {"q r"}}, {"A", {"ax"}}},
                           kOptionalSilenceProbability);
    ASSERT_EQ(g.NodeCount(), 3);
    for (const TGrammarArc& arc : g.Arcs()) {
        EXPECT_EQ(arc.to, arc.silence ? arc.from : arc.from + 1);
        EXPECT_EQ(arc.score, LogScore(arc.silence ? 0.01 : 0.99));
    }
    EXPECT_EQ(g.Arcs().size(), 5u); // a pause at each node, two words
    EXPECT_TRUE(g.IsFinal(2));
    std::vector<TWordModel> models;
    g.Expand(models, -5);
    ASSERT_EQ(models.size(), 6u);
    EXPECT_EQ(models[1].entryScore, LogScore(0.99) - 5);
    EXPECT_EQ(g.Word(models[2].word).pronunciations[size_t(models[2].pronunciation)], "dh iy");
}

TEST(FreeLoop, CommitsTheUnambiguousPathWithinMinimumDurations) {
    EXPECT_EQ(Describe(Loop(
                  MakeRows({{"sil", 10}, {"ae", 6}, {"sh", 5}, {"iy", 4}, {"t", 1}, {"sil", 10}}))),
              "sil 0-160 ae 160-256 sh 256-336 iy 336-400 t 400-416 sil 416-576 ");
    EXPECT_EQ(Describe(Loop(MakeRows({{"t", 8}, {"ay", 3}, {"t", 8}}))),
              "t 0-128 ay 128-176 t 176-304 ");
    // Each class wins for a single frame only, or scores are random: the models cannot follow.
    std::vector<FrameProbabilitiesVector> cases = {RandomRows(600, 7)};
    for (const char* name : {"ay", "sh", "sil", "ae", "ey", "iy"})
        cases.push_back(MakeRows({{"t", 8}, {name, 1}, {"t", 8}}));
    for (const FrameProbabilitiesVector& rows : cases)
        ExpectWellFormed(Loop(rows), int32_t(rows.Count()));
}

TEST_F(Decoding, FreeLoopFlaggedRowsEndUtterancesAndScratchRowsAreSkipped) {
    FrameProbabilitiesVector rows = MakeRows({{"aa", 4}, {"aa", 5}, {"s", 4}, {"aa", 1}, {"s", 4}});
    rows.At(3).flags = 128; // the second utterance starts afresh at its frame offset
    rows.At(13).flags = 255;
    EXPECT_EQ(Describe(Loop(rows)), "aa 0-64 aa 64-144 s 144-288 ");

    rows.At(1).scores.resize(40);
    EXPECT_EQ(Thrown([&] { decodePhonemeLoop(decoder, rows, phonemes); }).kind, eetDataFailure);
}

TEST_F(Decoding, PartialTracebackCommitsEarlyAndKeepsFewRecords) {
    const char* cycle[] = {"sil", "aa", "s", "t", "iy", "m"};
    std::vector<std::pair<const char*, int>> runs;
    for (int i = 0; i < 300; ++i)
        runs.push_back({cycle[i % 6], 10});
    const FrameProbabilitiesVector rows = MakeRows(runs);
    const TGrammar grammar = BuildPhonemeLoopGrammar();
    decoder.Prepare(grammar, &phonemes, &words, TDecodeOptions());
    decoder.BeginUtterance(grammar.StartNode(), 0);
    for (int32_t i = 0; i < 2990; ++i)
        ASSERT_FALSE(decoder.ProcessFrame(rows.At(i), 0));
    // Long before the utterance ends nearly everything is committed and freed.
    EXPECT_GE(phonemes.Count(), 297);
    EXPECT_LT(decoder.LiveRecords(), 30);
    EXPECT_LT(decoder.PeakLiveRecords(), 60);
    EXPECT_EQ(decoder.FrameSlotCapacity(), 3072);
    for (int32_t i = 2990; i < 3000; ++i)
        decoder.ProcessFrame(rows.At(i), rows.At(i).flags);
    decoder.EndUtterance();
    EXPECT_EQ(decoder.LiveRecords(), 0);
    ASSERT_EQ(phonemes.Count(), 300);
    ExpectWellFormed(phonemes, 3000);
    for (int32_t i = 0; i < 300; ++i) {
        EXPECT_STREQ(phonemes[i].Name(), cycle[i % 6]);
        EXPECT_EQ(phonemes[i].StartMs(), i * 160);
    }
}

TEST_F(Decoding, TracebackNoPathRaisesTheCatastrophicError) {
    // A three-state word cannot end within two frames.
    const TGrammar grammar = BuildLinearGrammar({{"I", {"ay"}}}, 0.0);
    const TError error = Thrown([&] {
        decodeUtterances(decoder, grammar, MakeRows({{"ay", 2}}), phonemes, words,
                         TDecodeOptions());
    });
    EXPECT_EQ(error.message, "Error #000002: Utterance has no path to traceback");
    EXPECT_EQ(error.kind, eetCatastrophicFailure);
    EXPECT_EQ(decodePhonemeLoop(decoder, MakeRows({{"s", 3}}), phonemes), 0);
    EXPECT_EQ(decoder.LiveRecords(), 0);
}

TEST_F(Decoding, AppendSegmentOverlapsAreCutAndGapsRefused) {
    const TGrammar grammar = BuildPhonemeLoopGrammar();
    decoder.Prepare(grammar, &phonemes, &words, TDecodeOptions());
    appendSegment(decoder, {nullptr, PhonemeClassOf("s")}, 0, 5);
    appendSegment(decoder, {nullptr, PhonemeClassOf("t")}, 3, 8);
    appendSegment(decoder, {nullptr, PhonemeClassOf("m")}, 6, 8); // nothing beyond the end
    EXPECT_EQ(Describe(phonemes), "s 0-80 t 80-128 ");
    EXPECT_EQ(phonemes[1].SourceTag(), 2);
    const TError gap = Thrown([&] {
        appendSegment(decoder, {nullptr, PhonemeClassOf("m")}, 9, 10);
    });
    EXPECT_EQ(gap.message, "Error #000003: phoneme append error");
    EXPECT_EQ(gap.kind, eetArgumentFailure);
}

TEST_F(Decoding, AlignmentPausesAroundAndBetweenWordsBecomeSilence) {
    Align(MakeRows({{"sil", 8}, {"sh", 5}, {"iy", 4}, {"sil", 6}, {"ae", 5}, {"t", 3}, {"sil", 8}}),
          {{"SHE", {"sh iy"}}, {"AT", {"ae t"}}});
    EXPECT_EQ(Describe(words), "SHE 128-272 AT 368-496 ");
    EXPECT_EQ(Describe(phonemes), "sil 0-128 sh 128-208 iy 208-272 sil 272-368 ae 368-448 "
                                  "t 448-496 sil 496-624 ");
    ExpectWellFormed(phonemes, 39);
    EXPECT_EQ(decoder.EarlyEnds(), 0);
}

TEST_F(Decoding, AlignmentContiguousWordsWithAChosenPronunciation) {
    Align(MakeRows({{"dh", 3}, {"iy", 4}, {"d", 2}, {"ao", 5}, {"g", 3}}),
          {{"THE", {"dh ax", "dh iy"}}, {"DOG", {"d ao g"}}}, 8000);
    EXPECT_EQ(Describe(words), "THE 0-112 DOG 112-272 ");
    EXPECT_EQ(Describe(phonemes), "dh 0-48 iy 48-112 d 112-144 ao 144-224 g 224-272 ");
}

TEST_F(Decoding, AlignmentTooShortForTheTranscriptEndsEarly) {
    Align(MakeRows({{"sh", 5}, {"iy", 4}}),
          {{"SHE", {"sh iy"}}, {"AT", {"ae t"}}, {"AT", {"ae t"}}});
    EXPECT_GE(decoder.EarlyEnds(), 1);
    ASSERT_GE(words.Count(), 1);
    EXPECT_LT(words.Count(), 3);
    EXPECT_EQ(words[0].Text(), "SHE");
    EXPECT_EQ(phonemes.Last().EndMs(), 144);
}

TEST_F(Decoding, AlignmentNothingPronounceableFallsBackToTheFreeLoop) {
    Align(MakeRows({{"s", 4}, {"aa", 4}}), {{"XYZZY", {}}, {"QQ", {"no such phonemes"}}});
    EXPECT_TRUE(words.IsEmpty());
    EXPECT_EQ(Describe(phonemes), "s 0-64 aa 64-128 ");
}

TEST_F(Decoding, AlignmentRandomScoresKeepWordsAndPhonemesInStep) {
    const TPronunciationList transcript = {{"HELLO", {"hh ax l ow", "hh eh l ow"}},
                                           {"MY", {"m ay"}},
                                           {"LAZY", {"l ey z iy"}},
                                           {"SHE", {"sh iy"}}};
    Align(RandomRows(160, 11), transcript);

    ASSERT_EQ(words.Count(), 4);
    EXPECT_EQ(phonemes.Last().EndMs(), 160 * 16);
    // Each word covers whole phonemes spelling one of its pronunciations; silence between.
    int32_t p = 0;
    for (int32_t w = 0; w < words.Count(); ++w) {
        EXPECT_EQ(words[w].Text(), transcript[size_t(w)].word);
        for (; p < phonemes.Count() && phonemes[p].EndMs() <= words[w].StartMs(); ++p)
            EXPECT_STREQ(phonemes[p].Name(), "sil");
        ASSERT_LT(p, phonemes.Count());
        EXPECT_EQ(phonemes[p].StartMs(), words[w].StartMs());
        std::string spelled;
        for (; p < phonemes.Count() && phonemes[p].EndMs() <= words[w].EndMs(); ++p)
            spelled += (spelled.empty() ? "" : " ") + std::string(phonemes[p].Name());
        EXPECT_EQ(phonemes[p - 1].EndMs(), words[w].EndMs());
        const auto& prons = transcript[size_t(w)].pronunciations;
        EXPECT_NE(std::find(prons.begin(), prons.end(), spelled), prons.end()) << spelled;
    }
}
