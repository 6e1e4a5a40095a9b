#include "graph/cypher.hpp"

#include <charconv>
#include <cmath>

#include "core/fault.hpp"

namespace velmarin {

namespace {

bool is_identifier_start(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool is_identifier_part(char c) { return is_identifier_start(c) || (c >= '0' && c <= '9'); }

bool is_plain_identifier(std::string_view key) {
    if (key.empty() || !is_identifier_start(key.front())) return false;
    for (char c : key.substr(1)) {
        if (!is_identifier_part(c)) return false;
    }
    return true;
}

// Digits d0 d1 d2 ... standing for d0.d1d2... times ten to `exponent`.
void append_positional(std::string& out, std::string_view digits, int exponent) {
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
        return;
    }
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) {
        out += digits;
        out.append(whole - digits.size(), '0');
        return;
    }
    out += digits.substr(0, whole);
    out += '.';
    out += digits.substr(whole);
}

void append_centroid(std::string& out, const Vector3D& centroid) {
    out += ", centroid_x: ";
    append_float(out, centroid.x);
    out += ", centroid_y: ";
    append_float(out, centroid.y);
    out += ", centroid_z: ";
    append_float(out, centroid.z);
}

}  // namespace

void append_integer(std::string& out, std::uint64_t value) {
    char digits[20];
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    check(error == std::errc(), "an integer longer than 20 digits");
    out.append(digits, end);
}

void append_float(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    // The shortest round-trip digits come in scientific form, "-d.ddde+XX"
    // ("inf" and "-inf" as they are). Fixed form would not do: for large
    // values it writes the float's exact integer (1e23 as
    // 99999999999999991611392) rather than the shortest digits.
    char text[32];
    auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
    check(error == std::errc(), "a float longer than its buffer");
    const std::string_view written(text, static_cast<std::size_t>(end - text));
    const std::size_t e = written.find('e');
    if (e == std::string_view::npos) {
        out += written;
        return;
    }
    std::string_view mantissa = written.substr(0, e);
    if (mantissa.front() == '-') {
        out += '-';
        mantissa.remove_prefix(1);
    }
    char digits[sizeof text];
    std::size_t count = 0;
    for (char c : mantissa) {
        if (c != '.') digits[count++] = c;
    }
    int exponent = 0;
    const std::string_view power = written.substr(e + 1);
    const char* power_begin = power.data() + (power.front() == '+' ? 1 : 0);
    check(std::from_chars(power_begin, power.data() + power.size(), exponent).ec == std::errc(),
          "an unreadable exponent");
    append_positional(out, std::string_view(digits, count), exponent);
}

void append_quoted_text(std::string& out, std::string_view text) {
    out += '\'';
    for (char c : text) {
        if (c == '\\' || c == '\'') out += '\\';
        out += c;
    }
    out += '\'';
}

void append_property_key(std::string& out, std::string_view key) {
    if (is_plain_identifier(key)) {
        out += key;
        return;
    }
    out += '`';
    for (char c : key) {
        if (c == '`') out += '`';
        out += c;
    }
    out += '`';
}

void begin_node_statement(std::string& out, const NodeRecord& node) {
    out += "CREATE (r";
    append_integer(out, node.index);
    out += ":Room {index: ";
    append_integer(out, node.index);
    append_centroid(out, node.centroid);
}

void end_node_statement(std::string& out) { out += "})"; }

void begin_edge_statement(std::string& out, const EdgeRecord& edge) {
    out += "MATCH (a:Room {index: ";
    append_integer(out, edge.node_a);
    out += "}), (b:Room {index: ";
    append_integer(out, edge.node_b);
    out += "}) CREATE (a)-[:SHARES_WALL {area: ";
    append_float(out, edge.shared_area);
    append_centroid(out, edge.contact_centroid);
    out += ", contact_type: ";
    append_quoted_text(out, edge.contact_type);
}

void end_edge_statement(std::string& out) { out += "}]->(b)"; }

void append_attribute(std::string& out, std::string_view key, std::string_view value_text) {
    out += ", ";
    append_property_key(out, key);
    out += ": ";
    out += value_text;
}

}  // namespace velmarin
