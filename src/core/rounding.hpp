// Float to integer: the one rounding rule of the system.
//
// Halves go away from zero, and values outside the signed 64-bit range
// saturate instead of being undefined behaviour; NaN becomes 0.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace velmarin {

// Written out rather than through std::round, which is a library call on
// the default target: welding rounds three coordinates of every vertex.
inline std::int64_t round_saturating(double value) noexcept {
    if (std::fabs(value) < 0x1p52) {
        // Truncation is exact here, and so is the fraction it leaves.
        const auto whole = static_cast<std::int64_t>(value);
        const double fraction = value - static_cast<double>(whole);
        return whole + (fraction >= 0.5) - (fraction <= -0.5);
    }
    // Integral already, out of range, or NaN.
    if (std::isnan(value)) return 0;
    if (value >= 0x1p63) return std::numeric_limits<std::int64_t>::max();
    if (value <= -0x1p63) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

}  // namespace velmarin
