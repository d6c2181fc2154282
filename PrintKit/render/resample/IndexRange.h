// A half-open range of whole indices (columns, rows or filter taps): lowerBound up to but not including
// upperBound.
#pragma once

namespace PrintKit {

struct IndexRange {
    int lowerBound = 0;
    int upperBound = 0;

    int count() const { return upperBound - lowerBound; }
    bool isEmpty() const { return upperBound <= lowerBound; }
    bool contains(int index) const { return index >= lowerBound && index < upperBound; }
    bool contains(const IndexRange& other) const {
        return other.lowerBound >= lowerBound && other.upperBound <= upperBound;
    }

    friend bool operator==(const IndexRange&, const IndexRange&) = default;
};

} // namespace PrintKit
