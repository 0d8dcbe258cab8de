// Key lists for the model tests.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "keys.h"

namespace Vantrix {

inline TKeyList FlatList(std::initializer_list<std::pair<int32_t, double>> keys) {
    TKeyList list;
    for (const auto& k : keys)
        EXPECT_EQ(list.Append(k.first, k.second), eetSuccess);
    list.SetFlatHandles();
    return list;
}

// Random ascending times, random values and random (not flat) handles.
inline TKeyList RandomCurve(std::mt19937& rng, int32_t count) {
    std::uniform_int_distribution<int32_t> gap(1, 120);
    std::uniform_real_distribution<double> value(-2.0, 2.0);
    TKeyList list;
    int32_t t = std::uniform_int_distribution<int32_t>(-200, 200)(rng);
    for (int32_t i = 0; i < count; ++i, t += gap(rng))
        list.Append(t, value(rng));
    for (int32_t i = 0; i < count; ++i) {
        list.SetInHandleFromSlope(i, value(rng) / 50.0);
        list.SetOutHandleFromSlope(i, value(rng) / 50.0);
    }
    return list;
}

} // namespace Vantrix
