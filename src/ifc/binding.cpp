// IfcParser.
#include "ifc/binding.hpp"

#include "binding/declare.hpp"
#include "geometry/binding.hpp"
#include "ifc/reader.hpp"

namespace velmarin::binding {

namespace {

constexpr Params parse_params{"IfcParser", "parse_ifc_points_and_faces", "ifc_content"};

// Files run to hundreds of megabytes: the text is encoded and read piece by
// piece, never copied whole.
Result<Made> parse_points_and_faces(Utf8Pieces ifc_content) {
    ifc::PointsAndLoopsReader reader(ifc_content.length());
    if (!ifc_content.read_all([&](std::string_view piece) { reader.read(piece); }, parse_params.names[0]))
        return Made{};
    Result<Mesh> mesh = std::move(reader).finish();
    if (!mesh.ok()) return mesh.error();
    return Made{PyRef::steal(Converter<Mesh>::cast(std::move(mesh).value()))};
}

}  // namespace

template <>
const ClassDef& class_def<IfcParser>() {
    static const ClassDef def = define_class<IfcParser>({
        .name = "IfcParser",
        .sentence = "Native IFC Parser Engine. Parses points and wire loops directly inside C++ with O(N) performance.",
        .constructor = Constructor{},  // Python cannot construct it
        .methods = {static_method<parse_points_and_faces, parse_params>(
            "Extracts coordinate data and creates a compiled Mesh from raw IFC text streams.")},
    });
    return def;
}

}  // namespace velmarin::binding
