// Shared facts of the animation generators.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Vantrix {

// Gesture tracks, in track order.
constexpr int32_t kGestureTrackCount = 11;

// Gesture channels: the track index of each.
enum EGestureChannel : int32_t {
    egcRaiseLeftEyebrow = 0,
    egcRaiseRightEyebrow = 1,
    egcBlinkLeft = 2,
    egcBlinkRight = 3,
    egcHeadBend = 4,
    egcHeadSideSide = 5,
    egcHeadTwist = 6,
    egcLeftEyeSideSide = 7,
    egcRightEyeSideSide = 8,
    egcLeftEyeUpDown = 9,
    egcRightEyeUpDown = 10,
};

// Channel names under which the figure binds the gesture tracks, in track order.
constexpr const char* kGestureChannelNames[kGestureTrackCount] = {
    "Raise Left Eyebrow",  "Raise Right Eyebrow", "Blink Left",       "Blink Right",
    "Head Bend",           "Head Side-Side",      "Head Twist",       "Left Eye Side-Side",
    "Right Eye Side-Side", "Left Eye Up-Down",    "Right Eye Up-Down"};

// Name of a gesture channel; nullptr outside 0..10.
inline const char* GestureChannelName(int32_t channel) {
    return channel >= 0 && channel < kGestureTrackCount ? kGestureChannelNames[channel] : nullptr;
}

// A value with the index it belongs to (a phoneme, or an action; -1 for none).
struct ItemToOrder {
    double value;
    int32_t index;
};

// Items in ascending order of value; an item goes after the items with an equal value.
class TOrderedList {
public:
    TOrderedList() { items.reserve(20); }

    // Sorted insertion; returns the item's position.
    int32_t Insert(const ItemToOrder& item) {
        const int32_t at = UpperBound(item.value);
        items.insert(items.begin() + at, item);
        return at;
    }
    // Position of the first item with a value above value.
    int32_t UpperBound(double value) const {
        auto at = std::upper_bound(items.begin(), items.end(), value,
                                   [](double v, const ItemToOrder& x) { return v < x.value; });
        return int32_t(at - items.begin());
    }
    // Bulk filling: append in insertion order, then Order() once; the result equals inserting
    // each item in turn.
    void AppendUnordered(const ItemToOrder& item) { items.push_back(item); }
    void Order() {
        std::stable_sort(
            items.begin(), items.end(),
            [](const ItemToOrder& a, const ItemToOrder& b) { return a.value < b.value; });
    }

    void Remove(int32_t i) { items.erase(items.begin() + i); }
    void Clear() { items.clear(); }
    void Reserve(size_t n) { items.reserve(n); }

    int32_t Count() const { return int32_t(items.size()); }
    bool IsEmpty() const { return items.empty(); }
    const ItemToOrder& operator[](int32_t i) const { return items[size_t(i)]; }
    const ItemToOrder& Last() const { return items.back(); }

private:
    std::vector<ItemToOrder> items;
};

} // namespace Vantrix
