// Float to integer: the one rounding rule of the system.
//
// Halves go away from zero, and values outside the signed 64-bit range
// saturate instead of being undefined behaviour; NaN becomes 0.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Whether round_small may be used: it is there, and the floating-point unit
// rounds to nearest, as it does unless a program changed that.
inline bool can_round_small() noexcept {
#if defined(__SSE2__)
    return (_mm_getcsr() & _MM_ROUND_MASK) == _MM_ROUND_NEAREST;
#else
    return false;
#endif
}

#if defined(__SSE2__)
// Two values rounded as round_saturating rounds each, where both are below
// 2^51 in size: false otherwise (NaN included), and then `rounded` is of no
// use. Welding rounds three coordinates of every vertex, and this takes
// neither branches nor conversions.
//
// Adding 1.5 * 2^52 leaves a value in a binade whose step is 1, so the sum
// holds the value rounded to the nearest whole number (halves to even) and
// its low bits are that number. What remains of the value is then exact,
// and a half left over shows a tie that went the wrong way.
inline bool round_small(__m128d values, __m128i& rounded) noexcept {
    const __m128d offset = _mm_set1_pd(0x1.8p52);
    const __m128d size = _mm_andnot_pd(_mm_set1_pd(-0.0), values);
    const bool small = _mm_movemask_pd(_mm_cmplt_pd(size, _mm_set1_pd(0x1p51))) == 3;
    const __m128d shifted = _mm_add_pd(values, offset);
    const __m128d rest = _mm_sub_pd(values, _mm_sub_pd(shifted, offset));
    const __m128d zero = _mm_setzero_pd();
    // All ones (-1) where a positive half went down or a negative one up.
    const __m128d up = _mm_and_pd(_mm_cmpeq_pd(rest, _mm_set1_pd(0.5)), _mm_cmpgt_pd(values, zero));
    const __m128d down = _mm_and_pd(_mm_cmpeq_pd(rest, _mm_set1_pd(-0.5)), _mm_cmplt_pd(values, zero));
    const __m128i nearest = _mm_sub_epi64(_mm_castpd_si128(shifted), _mm_castpd_si128(offset));
    rounded = _mm_add_epi64(_mm_sub_epi64(nearest, _mm_castpd_si128(up)), _mm_castpd_si128(down));
    return small;
}
#endif

}  // namespace velmarin
