// Reading the points and poly loops of IFC text (ISO 10303-21, one record
// per line) into a mesh.
#pragma once

#include <string_view>

#include "core/error.hpp"
#include "geometry/mesh.hpp"
#include "ifc/loop_mesh.hpp"
#include "ifc/record_scan.hpp"

namespace velmarin::ifc {

// Each IFCPOLYLOOP becomes a face over the IFCCARTESIANPOINTs it references;
// vertices are numbered in order of first reference. A point's coordinates
// are those of its latest definition above the referencing line or, when it
// is only defined further down (the standard lets a file order its entities
// freely), those of its first definition. Malformed records are skipped.
Result<Mesh> read_points_and_loops(std::string_view text);

// The same for a text that arrives in consecutive pieces, cut anywhere.
class PointsAndLoopsReader {
public:
    // The text's length in bytes, or a lower bound, when it is known ahead:
    // the mesh's lists then take the room they will need once, as soon as
    // enough of the text has been read to tell, instead of doubling their
    // way there (each doubling a copy into memory not touched before).
    explicit PointsAndLoopsReader(std::size_t expected_length = 0) : expected_length_(expected_length) {}

    void read(std::string_view piece);
    // After the last piece.
    Result<Mesh> finish() &&;

private:
    LoopMesh mesh_;
    RecordScanner scanner_{mesh_};
    std::size_t expected_length_;
    std::size_t read_length_ = 0;
};

}  // namespace velmarin::ifc
