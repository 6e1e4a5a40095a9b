// Float to integer: the one rounding rule of the system.
//
// Halves go away from zero, and values outside the signed 64-bit range
// saturate instead of being undefined behaviour; NaN becomes 0.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace velmarin {

inline std::int64_t round_saturating(double value) noexcept {
    if (std::isnan(value)) return 0;
    const double rounded = std::round(value);  // std::round takes halves away from zero
    if (rounded >= 0x1p63) return std::numeric_limits<std::int64_t>::max();
    if (rounded <= -0x1p63) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(rounded);
}

}  // namespace velmarin
