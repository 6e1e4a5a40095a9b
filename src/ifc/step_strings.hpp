// The text of a STEP string (ISO 10303-21), its escapes decoded into UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmarin::ifc {

// `written`: what stands between the quotes. Decodes a doubled quote, `\\`,
// `\S\c` (c in the upper half of ISO 8859-1), `\X\hh` (one ISO 8859-1
// character) and `\X2\...\X0\`, `\X4\...\X0\` (UTF-16 and UTF-32 code
// units, four and eight hex digits each). None for anything else: an escape
// of another kind (a code page switched by `\P`), a byte outside printable
// ASCII, a code point that is not one (a surrogate, even in a pair, which
// other readers drop); a caller that must match another reader's text goes
// to it rather than guess.
std::optional<std::string> decoded_string(std::string_view written);

}  // namespace velmarin::ifc
