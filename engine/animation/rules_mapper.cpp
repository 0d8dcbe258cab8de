#include "rules_mapper.h"

namespace Vantrix {

TRulesMapper::TRulesMapper() {
    maps.Append(DefaultCoarticulationRules());
    SelectDefault();
}

int32_t TRulesMapper::SelectDefault() {
    for (const TLabeledCoarticulationRulesMap& map : maps) {
        if (map.Label() != 0) continue;
        current = map;
        currentLabel = 0;
        Notify();
        return eetSuccess;
    }
    return 1;
}

} // namespace Vantrix
