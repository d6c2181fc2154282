// The edges and centre lines a placed photo snapped to or touches, as a set of flags. The preview draws one
// guide line per member; the raw values are fixed because the set is compared and stored as a number.
#pragma once

#include <cstdint>

namespace PrintKit {

struct SnapGuides {
    std::int64_t rawValue = 0;

    static const SnapGuides left;
    static const SnapGuides right;
    static const SnapGuides top;
    static const SnapGuides bottom;
    static const SnapGuides centerX; // the vertical centre line: a position in x
    static const SnapGuides centerY; // the horizontal centre line: a position in y

    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr bool contains(SnapGuides other) const { return (rawValue & other.rawValue) == other.rawValue; }
    constexpr void insert(SnapGuides other) { rawValue |= other.rawValue; }
    constexpr void remove(SnapGuides other) { rawValue &= ~other.rawValue; }

    friend constexpr SnapGuides operator|(SnapGuides a, SnapGuides b) { return {a.rawValue | b.rawValue}; }
    friend constexpr SnapGuides operator&(SnapGuides a, SnapGuides b) { return {a.rawValue & b.rawValue}; }
    constexpr SnapGuides& operator|=(SnapGuides other) {
        rawValue |= other.rawValue;
        return *this;
    }
    friend constexpr bool operator==(SnapGuides, SnapGuides) = default;
};

inline constexpr SnapGuides SnapGuides::left{1};
inline constexpr SnapGuides SnapGuides::right{2};
inline constexpr SnapGuides SnapGuides::top{4};
inline constexpr SnapGuides SnapGuides::bottom{8};
inline constexpr SnapGuides SnapGuides::centerX{16};
inline constexpr SnapGuides SnapGuides::centerY{32};

} // namespace PrintKit
