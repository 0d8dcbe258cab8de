// Engine containers: ordered lists held by value and index-range vectors and matrices.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "errors.h"

namespace Vantrix {

// Ordered sequence held by value. Indices are 0-based; callers check ranges first.
template <typename T> class ASafeList {
public:
    ASafeList() = default;
    ASafeList(const ASafeList&) = default;
    ASafeList& operator=(const ASafeList&) = default;
    virtual ~ASafeList() = default;

    virtual int32_t Clear() {
        items.clear();
        return eetSuccess;
    }
    virtual int32_t Append(const T& item) {
        items.push_back(item);
        return eetSuccess;
    }

    int32_t Count() const { return int32_t(items.size()); }
    bool IsEmpty() const { return items.empty(); }
    bool IsIndex(int32_t i) const { return i >= 0 && i < Count(); }
    size_t Capacity() const { return items.capacity(); }
    T& operator[](int32_t i) { return items[size_t(i)]; }
    const T& operator[](int32_t i) const { return items[size_t(i)]; }
    T& Last() { return items.back(); }
    const T& Last() const { return items.back(); }

    typename std::vector<T>::iterator begin() { return items.begin(); }
    typename std::vector<T>::iterator end() { return items.end(); }
    typename std::vector<T>::const_iterator begin() const { return items.begin(); }
    typename std::vector<T>::const_iterator end() const { return items.end(); }

protected:
    // Growth rule of lists that reserve ahead: first capacity when empty, else twice the count.
    int32_t AppendReserving(const T& item, size_t firstCapacity) {
        if (items.size() == items.capacity())
            items.reserve(items.empty() ? firstCapacity : items.size() * 2);
        items.push_back(item);
        return eetSuccess;
    }
    void EraseAt(int32_t i) { items.erase(items.begin() + i); }
    void InsertAt(int32_t i, const T& item) { items.insert(items.begin() + i, item); }

    std::vector<T> items;
};

// A list whose elements may also be inserted and removed by index.
template <typename T> class AOpenList : public ASafeList<T> {
public:
    void Remove(int32_t i) { this->EraseAt(i); }
    void Insert(int32_t i, const T& item) { this->InsertAt(i, item); }
};

// Vector over a signed index range that widens on demand. Empty: low > high.
template <typename T> class ADynaVector {
public:
    ADynaVector() = default;

    int32_t Low() const { return low; }
    int32_t High() const { return high; }
    bool IsEmpty() const { return int64_t(high) < int64_t(low); }
    int64_t Count() const { return IsEmpty() ? 0 : int64_t(high) - int64_t(low) + 1; }
    bool Contains(int32_t i) const { return !IsEmpty() && i >= low && i <= high; }
    bool ZeroFill() const { return zeroFill; }
    void SetZeroFill(bool on) { zeroFill = on; }

    // Widens the range to hold i, keeping every element at its index.
    void Include(int32_t i) {
        if (Contains(i)) return;
        int32_t newLow = std::min(low, i);
        int32_t newHigh = std::max(high, i);
        // New elements are always value-initialised: an indeterminate block is never wanted.
        std::vector<T> block(size_t(int64_t(newHigh) - newLow + 1));
        if (!IsEmpty())
            std::copy(data.begin(), data.end(), block.begin() + (int64_t(low) - newLow));
        data.swap(block);
        low = newLow;
        high = newHigh;
    }

    // Throws eetRangeFailure outside [low, high].
    T& At(int32_t i) {
        if (!Contains(i)) throw eetRangeFailure;
        return data[size_t(int64_t(i) - low)];
    }
    const T& At(int32_t i) const {
        if (!Contains(i)) throw eetRangeFailure;
        return data[size_t(int64_t(i) - low)];
    }

private:
    std::vector<T> data;
    int32_t low = INT32_MAX;
    int32_t high = INT32_MIN;
    bool zeroFill = true;
};

// Vector over the inclusive index range [low, high].
template <typename T> class AVector {
public:
    // Throws eetRangeFailure when high < low.
    AVector(int32_t low, int32_t high) : low(low), high(high) {
        if (high < low) throw eetRangeFailure;
        data.assign(size_t(int64_t(high) - low + 1), T());
    }
    int32_t Low() const { return low; }
    int32_t High() const { return high; }
    T& At(int32_t i) {
        if (i < low || i > high) throw eetRangeFailure;
        return data[size_t(int64_t(i) - low)];
    }
    const T& At(int32_t i) const {
        if (i < low || i > high) throw eetRangeFailure;
        return data[size_t(int64_t(i) - low)];
    }

private:
    int32_t low;
    int32_t high;
    std::vector<T> data;
};

// Zero-filled matrix over inclusive row and column ranges; copies are deep.
template <typename T> class AMatrix {
public:
    // Throws eetRangeFailure when a high bound is below its low bound.
    AMatrix(int32_t rowLow, int32_t rowHigh, int32_t colLow, int32_t colHigh)
        : rowLow(rowLow), rowHigh(rowHigh), colLow(colLow), colHigh(colHigh) {
        if (rowHigh < rowLow || colHigh < colLow) throw eetRangeFailure;
        data.assign(size_t(Rows()) * size_t(Cols()), T());
    }

    int32_t RowLow() const { return rowLow; }
    int32_t RowHigh() const { return rowHigh; }
    int32_t ColLow() const { return colLow; }
    int32_t ColHigh() const { return colHigh; }
    int64_t Rows() const { return int64_t(rowHigh) - rowLow + 1; }
    int64_t Cols() const { return int64_t(colHigh) - colLow + 1; }
    bool Contains(int32_t row, int32_t col) const {
        return row >= rowLow && row <= rowHigh && col >= colLow && col <= colHigh;
    }

    // Throws eetRangeFailure outside the ranges.
    T& At(int32_t row, int32_t col) {
        if (!Contains(row, col)) throw eetRangeFailure;
        return data[Offset(row, col)];
    }
    const T& At(int32_t row, int32_t col) const {
        if (!Contains(row, col)) throw eetRangeFailure;
        return data[Offset(row, col)];
    }

private:
    size_t Offset(int32_t row, int32_t col) const {
        return size_t(int64_t(row) - rowLow) * size_t(Cols()) + size_t(int64_t(col) - colLow);
    }

    int32_t rowLow, rowHigh, colLow, colHigh;
    std::vector<T> data;
};

} // namespace Vantrix
