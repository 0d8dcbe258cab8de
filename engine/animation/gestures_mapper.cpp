#include "gestures_mapper.h"

namespace Vantrix {

TGesturesMapper::TGesturesMapper() {
    maps.Append(DefaultSpeechGesturesMap());
    SelectDefault();
}

int32_t TGesturesMapper::SelectDefault() {
    for (const TLabeledSpeechGesturesMap& map : maps) {
        if (map.Label() != 0) continue;
        current = map;
        currentLabel = 0;
        Notify();
        return 0;
    }
    return 1;
}

} // namespace Vantrix
