#include "ifc/text_fields.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "ifc/digits.hpp"

namespace velmarin::ifc {

namespace {

// The characters with the Unicode White_Space property, UTF-8 encoded.
// clang-format off
constexpr std::array<std::string_view, 25> white_space = {
    "\t", "\n", "\v", "\f", "\r", " ",
    "\u0085", "\u00a0", "\u1680",
    "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007", "\u2008", "\u2009", "\u200a",
    "\u2028", "\u2029", "\u202f", "\u205f", "\u3000",
};
// clang-format on

// The length of the white space character that `text` starts with (or,
// `at_end`, ends with), or 0. The input is valid UTF-8 and every character
// here starts with a lead byte, so a match at either end is a whole
// character.
template <bool at_end>
std::size_t edge_space(std::string_view text) {
    if (text.empty()) return 0;
    const auto edge = static_cast<unsigned char>(at_end ? text.back() : text.front());
    if (edge < 0x80) return (edge == ' ' || (edge >= '\t' && edge <= '\r')) ? 1 : 0;
    for (std::string_view space : white_space) {
        if (at_end ? text.ends_with(space) : text.starts_with(space)) return space.size();
    }
    return 0;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::size_t count_digits(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && is_digit(text[end])) ++end;
    return end - from;
}

bool equals_ignoring_case(std::string_view text, std::string_view lower_word) {
    return std::ranges::equal(text, lower_word, [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

// The shape of an unsigned decimal: digits with at most one full stop among
// them (at least one digit), then optionally an exponent.
struct DecimalShape {
    std::size_t integer_digits;
    std::size_t fraction_digits;
    std::size_t exponent_start;  // where the exponent's sign or digits begin; 0 if none
};

std::optional<DecimalShape> decimal_shape(std::string_view text) {
    DecimalShape shape{count_digits(text, 0), 0, 0};
    std::size_t at = shape.integer_digits;
    if (at < text.size() && text[at] == '.') {
        shape.fraction_digits = count_digits(text, at + 1);
        at += 1 + shape.fraction_digits;
    }
    if (shape.integer_digits + shape.fraction_digits == 0) return std::nullopt;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        shape.exponent_start = at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        const std::size_t exponent_digits = count_digits(text, at);
        if (exponent_digits == 0) return std::nullopt;
        at += exponent_digits;
    }
    if (at != text.size()) return std::nullopt;
    return shape;
}

// Whether a number that rounds outside the finite doubles is huge (it
// rounds to infinity) rather than tiny (it rounds to zero): the decimal
// exponent of its first significant digit decides, with a saturated
// exponent so that no digit count can overflow.
bool is_huge(std::string_view text, const DecimalShape& shape) {
    constexpr std::int64_t cap = std::int64_t{1} << 40;
    std::int64_t exponent = 0;
    if (shape.exponent_start != 0) {
        std::size_t at = shape.exponent_start;
        const bool negative = text[at] == '-';
        if (text[at] == '+' || text[at] == '-') ++at;
        for (; at < text.size() && exponent < cap; ++at) exponent = exponent * 10 + (text[at] - '0');
        if (negative) exponent = -exponent;
    }
    const std::string_view mantissa =
        text.substr(0, shape.exponent_start == 0 ? text.size() : shape.exponent_start - 1);
    const std::size_t first_significant = mantissa.find_first_not_of("0.");
    if (first_significant == std::string_view::npos) return false;
    const auto point = static_cast<std::int64_t>(shape.integer_digits);
    const auto position = static_cast<std::int64_t>(first_significant);
    const std::int64_t magnitude = position < point ? point - 1 - position : point - position;
    return std::clamp<std::int64_t>(magnitude, -cap, cap) + exponent > 0;
}

// An unsigned decimal, inf, infinity or nan, strictly; correctly rounded.
std::optional<double> read_unsigned(std::string_view text) {
    if (equals_ignoring_case(text, "inf") || equals_ignoring_case(text, "infinity")) {
        return std::numeric_limits<double>::infinity();
    }
    if (equals_ignoring_case(text, "nan")) return std::numeric_limits<double>::quiet_NaN();
    const std::optional<DecimalShape> shape = decimal_shape(text);
    if (!shape) return std::nullopt;
    double value = 0.0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status == std::errc::result_out_of_range) {
        return is_huge(text, *shape) ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (status != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The powers of ten that a double holds exactly.
constexpr std::array<double, 23> exact_powers_of_ten = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22,
};

// Digits with at most one full stop among or after them, as most
// coordinates are written, from `at` on: when they read as an integer up to
// 2^53 over a power of ten up to 1e22, both are exact doubles and their
// quotient is the correctly rounded value. The value and where it ends.
std::optional<std::pair<double, const char*>> read_short_decimal(const char* at, const char* end) {
    constexpr std::size_t most_digits = 19;  // so that the integer cannot overflow
    const Digits whole = read_digits(at, end);
    Digits fraction{0, 0, whole.end};
    if (whole.end < end && *whole.end == '.') fraction = read_digits(whole.end + 1, end);
    const std::size_t count = whole.count + fraction.count;
    if (count == 0 || count > most_digits) return std::nullopt;
    const std::uint64_t digits = whole.value * detail::powers_of_ten[fraction.count] + fraction.value;
    if (digits > (std::uint64_t{1} << 53)) return std::nullopt;
    return std::pair{static_cast<double>(digits) / exact_powers_of_ten[fraction.count], fraction.end};
}

// The common case of read_unsigned, without its checks: from_chars reads
// exactly the decimals that decimal_shape admits from a text that starts
// with a digit or a full stop. Empty when it needs the full rules: another
// start, something after the number, or a value out of range.
std::optional<double> read_plain(std::string_view text) {
    const char* const end = text.data() + text.size();
    if (const auto short_decimal = read_short_decimal(text.data(), end);
        short_decimal && short_decimal->second == end) {
        return short_decimal->first;
    }
    if (text.empty() || !(is_digit(text.front()) || text.front() == '.')) return std::nullopt;
    double value = 0.0;
    const auto [read_to, status] = std::from_chars(text.data(), end, value);
    if (status != std::errc{} || read_to != end) return std::nullopt;
    return value;
}

// What a coordinate sheds from both ends.
bool is_shed(char c) { return c == ' ' || c == '.' || c == ';'; }

}  // namespace

std::string_view trim(std::string_view text) {
    while (const std::size_t n = edge_space<false>(text)) text.remove_prefix(n);
    while (const std::size_t n = edge_space<true>(text)) text.remove_suffix(n);
    return text;
}

std::optional<std::uint64_t> read_number(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    if (text.empty() || !is_digit(text.front())) return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

double read_coordinate(std::string_view text) {
    while (!text.empty() && is_shed(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_shed(text.back())) text.remove_suffix(1);
    if (text.empty()) return 0.0;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::optional<double> value = read_plain(text);
    if (!value) value = read_unsigned(text);
    if (!value) return 0.0;
    return negative ? -*value : *value;
}

std::optional<std::pair<double, const char*>> read_plain_coordinate(const char* at, const char* end) {
    const bool negative = at < end && *at == '-';
    if (at < end && (*at == '-' || *at == '+')) ++at;
    if (at == end || !is_digit(*at)) return std::nullopt;
    auto value = read_short_decimal(at, end);
    if (value && negative) value->first = -value->first;
    return value;
}

}  // namespace velmarin::ifc
