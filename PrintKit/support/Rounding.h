// The two rounding rules of the engine, kept apart on purpose:
//  - a length becomes a count of device pixels by rounding to nearest, halves away from zero
//    (11.3 / 0.2 = 56.5 gives 57);
//  - a printed sample becomes a 16-bit value by rounding to nearest, ties to even (2.5 gives 2), so that
//    rounding adds no bias across a smooth gradient.
// Both handle NaN before anything else: a NaN count is 0, a NaN sample is 0.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace PrintKit::Rounding {

// Rounds halves away from zero and clamps to the int64 range; NaN gives 0.
inline std::int64_t pixelCount(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    double rounded = std::round(value);
    if (rounded >= 9.2233720368547748e18) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (rounded <= -9.2233720368547758e18) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(rounded);
}

// A sample already scaled to 0...65535 rounded ties-to-even and clamped; NaN gives 0.
inline std::uint16_t sample16(float scaled) {
    if (!(scaled > 0.0f)) { // NaN and everything at or below zero
        return 0;
    }
    if (scaled >= 65535.0f) {
        return 65535;
    }
    return static_cast<std::uint16_t>(std::nearbyint(scaled)); // default mode: ties to even
}

} // namespace PrintKit::Rounding
