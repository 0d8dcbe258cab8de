// Fuzzes the initialisation-file reader and the speech-target configuration parser.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "fuzz_common.h"
#include "ini_reader.h"
#include "speech_target_config.h"
#include "track_mapper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    Vantrix::TIniFile ini;
    ini.Parse(text);
    std::string value;
    ini.GetValue("PhonemeToSpeechTargetMapping", "NumSpeechTargets", value);
    ini.GetValue("", "", value);

    Vantrix::TTrackMapper mapper;
    std::string path = WriteFuzzInput(data, size, ".ini");
    std::unique_ptr<Vantrix::TLabeledPhonemesToTracksMap> map;
    int32_t label = 0;
    std::string detail;
    Vantrix::ParseSpeechTargetConfiguration(map, label, path.c_str(), &mapper, detail);
    std::remove(path.c_str());
    return 0;
}
