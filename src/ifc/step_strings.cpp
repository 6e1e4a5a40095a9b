#include "ifc/step_strings.hpp"

#include <cstdint>

namespace velmarin::ifc {

namespace {

std::optional<std::uint32_t> hex_digit(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint32_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<std::uint32_t>(c - 'a' + 10);
    return std::nullopt;
}

// `count` hex digits at the front of `text`, consumed.
std::optional<std::uint32_t> hex_number(std::string_view& text, std::size_t count) {
    if (text.size() < count) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::optional<std::uint32_t> digit = hex_digit(text[k]);
        if (!digit) return std::nullopt;
        value = value * 16 + *digit;
    }
    text.remove_prefix(count);
    return value;
}

bool append_utf8(std::string& out, std::uint32_t code) {
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
    return true;
}

// The code units of `\X2\` (4 digits) or `\X4\` (8) up to `\X0\`,
// consumed with it. A surrogate is refused, paired or not: other readers
// drop such pairs rather than join them.
bool append_units(std::string& out, std::string_view& text, std::size_t digits) {
    while (!text.starts_with("\\X0\\")) {
        const std::optional<std::uint32_t> unit = hex_number(text, digits);
        if (!unit || !append_utf8(out, *unit)) return false;
    }
    text.remove_prefix(4);
    return true;
}

}  // namespace

std::optional<std::string> decoded_string(std::string_view written) {
    std::string out;
    out.reserve(written.size());
    std::string_view text = written;
    while (!text.empty()) {
        const char c = text.front();
        if (c < 0x20 || c > 0x7E) return std::nullopt;  // signed char: bytes above 0x7F are negative
        if (c == '\'') {
            if (!text.starts_with("''")) return std::nullopt;
            out += '\'';
            text.remove_prefix(2);
        } else if (c != '\\') {
            out += c;
            text.remove_prefix(1);
        } else if (text.starts_with("\\\\")) {
            out += '\\';
            text.remove_prefix(2);
        } else if (text.starts_with("\\S\\") && text.size() >= 4) {
            const char low = text[3];
            if (low < 0x20 || low > 0x7E || !append_utf8(out, static_cast<std::uint32_t>(low) + 0x80)) {
                return std::nullopt;
            }
            text.remove_prefix(4);
        } else if (text.starts_with("\\X\\")) {
            text.remove_prefix(3);
            const std::optional<std::uint32_t> code = hex_number(text, 2);
            if (!code || !append_utf8(out, *code)) return std::nullopt;
        } else if (text.starts_with("\\X2\\") || text.starts_with("\\X4\\")) {
            const std::size_t digits = text[2] == '2' ? 4 : 8;
            text.remove_prefix(4);
            if (!append_units(out, text, digits)) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

}  // namespace velmarin::ifc
