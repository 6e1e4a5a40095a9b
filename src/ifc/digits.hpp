// Reading a run of decimal digits, the step that IFC text repeats most: it
// holds every entity number, reference and coordinate.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace velmarin::ifc {

// The decimal digits from `at` on, all of them: their value (modulo 2^64,
// so exact for up to 19 digits), their count and where they end.
struct Digits {
    std::uint64_t value;
    std::size_t count;
    const char* end;
};

namespace detail {

inline constexpr std::array<std::uint64_t, 20> powers_of_ten = [] {
    std::array<std::uint64_t, 20> powers{1};
    for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
    return powers;
}();

// The value of the eight digits in `word`, the first in its lowest byte,
// each byte holding its digit's value (0 to 9): three multiplications that
// each join neighbouring pairs.
inline std::uint64_t eight_digits(std::uint64_t word) {
    word = (word * 10 + (word >> 8)) & 0x00ff00ff00ff00ff;
    word = (word * 100 + (word >> 16)) & 0x0000ffff0000ffff;
    return (word * 10000 + (word >> 32)) & 0xffffffff;
}

}  // namespace detail

// Eight bytes at a time where eight remain: the digits at the front of a
// word are counted and read at once, with no branch per digit.
inline Digits read_digits(const char* at, const char* end) {
    Digits digits{0, 0, at};
    while (end - at >= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, at, 8);
        if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
        // A byte is a digit when, less '0', both it and it plus 6 are below
        // 16. A carry out of a byte (plus 6 past 255) only follows a byte
        // that is not a digit, so the first byte flagged is the first non-digit.
        word ^= 0x3030303030303030;
        const std::uint64_t others = (word | (word + 0x0606060606060606)) & 0xf0f0f0f0f0f0f0f0;
        const int count = others == 0 ? 8 : std::countr_zero(others) / 8;
        if (count > 0) {
            digits.value = digits.value * detail::powers_of_ten[count] + detail::eight_digits(word << (64 - 8 * count));
            digits.count += static_cast<std::size_t>(count);
            at += count;
        }
        if (count < 8) {
            digits.end = at;
            return digits;
        }
    }
    for (; at < end && *at >= '0' && *at <= '9'; ++at, ++digits.count)
        digits.value = digits.value * 10 + static_cast<std::uint64_t>(*at - '0');
    digits.end = at;
    return digits;
}

}  // namespace velmarin::ifc
