// IfcParser.
#include "ifc/binding.hpp"

#include "binding/declare.hpp"
#include "geometry/binding.hpp"
#include "ifc/reader.hpp"

namespace velmarin::binding {

namespace {

// The text is read where the interpreter encoded it: files run to hundreds
// of megabytes.
Result<Mesh> parse_points_and_faces(Utf8Text ifc_content) { return ifc::read_points_and_loops(ifc_content.text); }
constexpr Params parse_params{"IfcParser", "parse_ifc_points_and_faces", "ifc_content"};

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
