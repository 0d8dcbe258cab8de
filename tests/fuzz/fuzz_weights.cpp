// Weight-file loader and a short run of the loaded network on five frames.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "classifier.h"
#include "errors.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace Vantrix;
    const std::string path = WriteFuzzInput(data, size, "_weights.dat");
    FramePropertiesVector frames;
    frames.Include(1);
    frames.Include(5);
    for (int32_t i = 1; i <= 5; ++i)
        for (int d = 0; d < kFeatureCount; ++d)
            frames.At(i).features[d] = float(std::sin(i + 0.7 * d));
    frames.At(5).flags = kFrameFlagLast;
    try {
        FrameProbabilitiesVector forward, backward;
        int32_t classes = 0;
        runNetwork(path, ndForward, frames, forward, classes);
        runNetwork(path, ndBackward, frames, backward, classes);
        mergeDirections(classes, forward, backward);
    } catch (EErrorType) {
    } catch (const TError&) {
    }
    std::remove(path.c_str());
    return 0;
}
