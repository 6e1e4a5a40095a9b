// The IFC text reader on any text: it returns a valid mesh or an error value
// and never faults, however broken the records; and a text read in pieces
// cut anywhere, told a length ahead that may be wrong, gives what the whole
// text gives.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/fault.hpp"
#include "decode.hpp"
#include "ifc/reader.hpp"

using namespace velmarin;

namespace {

// Pieces of a length the text's own size picks; the length told ahead is
// half, all or one and a half times the true one.
Result<Mesh> read_in_pieces(std::string_view text) {
    const std::size_t step = 1 + text.size() % 13;
    ifc::PointsAndLoopsReader reader(text.size() * (1 + text.size() % 3) / 2);
    for (std::size_t at = 0; at < text.size(); at += step) reader.read(text.substr(at, step));
    return std::move(reader).finish();
}

bool same_mesh(const Mesh& a, const Mesh& b) {
    if (a.vertices.size() != b.vertices.size() || !(a.faces == b.faces)) return false;
    for (std::size_t i = 0; i < a.vertices.size(); ++i) {
        const Vector3D& p = a.vertices[i];
        const Vector3D& q = b.vertices[i];
        if (!fuzz::same(p.x, q.x) || !fuzz::same(p.y, q.y) || !fuzz::same(p.z, q.z)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Result<Mesh> whole = ifc::read_points_and_loops(text);
    const Result<Mesh> pieces = read_in_pieces(text);
    check(whole.ok() == pieces.ok(), "the text in pieces fails where the whole does not, or the other way");
    if (!whole.ok()) {
        check(whole.error().text == pieces.error().text, "the text in pieces fails with another error");
        return 0;
    }
    check(validate(whole.value()).ok(), "the reader made an invalid mesh");
    check(same_mesh(whole.value(), pieces.value()), "the text in pieces gives another mesh");
    return 0;
}
