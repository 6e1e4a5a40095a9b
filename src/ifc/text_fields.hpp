// The ways the IFC reader reads a piece of a record. None of them
// fails loudly: a piece that does not read is skipped (or, for a
// coordinate, read as 0.0) by the caller.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace velmarin::ifc {

// Removes Unicode White_Space from both ends of UTF-8 text.
std::string_view trim(std::string_view text);

// An unsigned 64-bit decimal: an optional "+", then digits and nothing else.
std::optional<std::uint64_t> read_number(std::string_view text);

// A decimal float after blanks, full stops and semicolons are shed from both
// ends (so "5." and ".5" both read 5.0), correctly rounded; 0.0 if the rest
// is not strictly a decimal number or inf, infinity or nan.
double read_coordinate(std::string_view text);

// The form most coordinates are written in, read where it stands in a line:
// an optional sign, a digit, more digits with at most one full stop among or
// after them. Its value and where it ends when it reads that way exactly
// (not too many digits): the value that read_coordinate gives it.
std::optional<std::pair<double, const char*>> read_plain_coordinate(const char* at, const char* end);

}  // namespace velmarin::ifc
