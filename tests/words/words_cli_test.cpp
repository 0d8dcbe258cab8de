// voxtrail analyze without a transcript: recognised words reach the aligner, the transcript
// beside the sound still wins, and silence, telephone rates and a missing model behave.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_support.h"

using nlohmann::json;

namespace {

class WordsCli : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        const fs::path samples = VX_WORDS_SAMPLES;
        // Without the transcript beside it, so that nothing but the recogniser gives words.
        fs::copy_file(samples / "words_sample.wav", dir / "sample.wav");
        fs::copy_file(samples / "words_sample_8k.wav", dir / "sample_8k.wav");
        fs::copy_file(samples / "silence.wav", dir / "silence.wav");
    }

    Outcome Run(const std::vector<std::string>& args, const std::string& env = "") {
        std::vector<std::string> all = {"analyze", "--data", dataDir, "--seed", "3"};
        all.insert(all.end(), args.begin(), args.end());
        return ToolTest::Run(all, env);
    }
    json Analyse(const std::vector<std::string>& args, const std::string& env = "") {
        const Outcome o = Run(args, env);
        EXPECT_EQ(o.status, 0) << o.err;
        return json::parse(o.out, nullptr, false);
    }
};

TEST_F(WordsCli, RecognisedWordsAreAlignedInsideTheSound) {
    const json result = Analyse({(dir / "sample.wav").string()});
    ASSERT_FALSE(result.is_discarded());
    EXPECT_EQ(result["wordSource"], "pocketsphinx en-us");
    const json& heard = result["recognizedWords"];
    const json& words = result["words"];
    ASSERT_GE(heard.size(), 8u); // "Please go to the store and buy some bread."
    ASSERT_EQ(words.size(), heard.size());
    EXPECT_EQ(heard[0]["text"], "please");
    EXPECT_EQ(heard[4]["text"], "store");
    const double duration = result["sound"]["durationSeconds"];
    double previousEnd = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        std::string upper = heard[i]["text"];
        for (char& c : upper)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(words[i]["text"], upper) << i;
        EXPECT_GE(double(words[i]["start"]), previousEnd - 1e-9) << i;
        EXPECT_LT(words[i]["start"], words[i]["end"]) << i;
        EXPECT_LE(double(words[i]["end"]), duration + 1e-9) << i;
        previousEnd = words[i]["end"];
    }
}

TEST_F(WordsCli, TheTranscriptBesideAndThePhonemeLoopNeedNoRecogniser) {
    // A model that is not there proves the recogniser never ran.
    const std::string noModel = "VOXTRAIL_WORDS_MODEL=" + (dir / "none").string();
    const json free = Analyse({(dir / "sample.wav").string(), "--recognizer", "phonemes"}, noModel);
    EXPECT_EQ(free["wordSource"], "none");
    EXPECT_TRUE(free["words"].empty());
    EXPECT_FALSE(free.contains("recognizedWords"));

    std::ofstream(dir / "sample.txt") << "Please go to the store.";
    const json aligned = Analyse({(dir / "sample.wav").string()}, noModel);
    EXPECT_EQ(aligned["wordSource"], "transcript");
    EXPECT_EQ(aligned["words"].size(), 5u);

    const Outcome missing = Run({(dir / "silence.wav").string()}, noModel);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("pocketsphinx-en-us"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("silence.wav"), std::string::npos) << missing.err;
}

TEST_F(WordsCli, SilenceClosesTheMouthAndTelephoneRatesKeepTheLoop) {
    const json silent = Analyse({(dir / "silence.wav").string()});
    ASSERT_FALSE(silent.is_discarded());
    EXPECT_TRUE(silent["words"].empty());
    ASSERT_EQ(silent["phonemes"].size(), 1u);
    EXPECT_EQ(silent["phonemes"][0]["name"], "sil");
    for (const json& track : silent["speechTargets"])
        EXPECT_TRUE(track["keys"].empty());

    const json phone = Analyse({(dir / "sample_8k.wav").string()});
    EXPECT_EQ(phone["wordSource"], "none");
    const json asked = Analyse({(dir / "sample_8k.wav").string(), "--recognizer", "words"});
    EXPECT_EQ(asked["wordSource"], "pocketsphinx en-us");
}

} // namespace
