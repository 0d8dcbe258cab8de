// Holder of the labelled coarticulation rules maps and of the one in use.
#pragma once

#include <cstdint>

#include "coarticulation_rules.h"
#include "notification.h"

namespace Vantrix {

class TRulesMapper : public ANotificationServer {
public:
    // Holds the built-in map and selects it.
    TRulesMapper();
    ~TRulesMapper() override = default;

    int32_t Kind() const override { return 3; }
    // Tells the clients that the current map changed; 0.
    int32_t Notify() override { return NotifyClients(); }

    // Copies the first map labelled 0 into the current map and notifies; 1 when there is none.
    int32_t SelectDefault();

    TCoarticulationRulesMap& Current() { return current; }
    const TCoarticulationRulesMap& Current() const { return current; }
    int32_t CurrentLabel() const { return currentLabel; }
    TLabeledCoarticulationRulesMapList& Maps() { return maps; }
    const TLabeledCoarticulationRulesMapList& Maps() const { return maps; }

private:
    TCoarticulationRulesMap current;
    TLabeledCoarticulationRulesMapList maps;
    int32_t currentLabel = 0;
};

} // namespace Vantrix
