// Holder of the labelled gestures maps and of the one in use.
#pragma once

#include <cstdint>

#include "gestures_map.h"
#include "notification.h"

namespace Vantrix {

class TGesturesMapper : public ANotificationServer {
public:
    // Holds the built-in map (label 0) and selects it.
    TGesturesMapper();
    ~TGesturesMapper() override = default;

    int32_t Kind() const override { return 4; }
    // Tells the clients that the current map changed; 0.
    int32_t Notify() override { return NotifyClients(); }

    // Copies the first map labelled 0 into the current map and notifies; 1 when there is none.
    int32_t SelectDefault();

    TSpeechGesturesMap& Current() { return current; }
    const TSpeechGesturesMap& Current() const { return current; }
    int32_t CurrentLabel() const { return currentLabel; }
    TLabeledSpeechGesturesMapList& Maps() { return maps; }
    const TLabeledSpeechGesturesMapList& Maps() const { return maps; }

private:
    TSpeechGesturesMap current;
    TLabeledSpeechGesturesMapList maps;
    int32_t currentLabel = 0;
};

} // namespace Vantrix
