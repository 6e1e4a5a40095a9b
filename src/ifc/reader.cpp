#include "ifc/reader.hpp"

namespace velmarin::ifc {

Result<Mesh> PointsAndLoopsReader::finish() && {
    scanner_.finish();
    return std::move(mesh_).finish();
}

Result<Mesh> read_points_and_loops(std::string_view text) {
    PointsAndLoopsReader reader;
    reader.read(text);
    return std::move(reader).finish();
}

}  // namespace velmarin::ifc
