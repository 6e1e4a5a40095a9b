// The mesh that the point and loop records of a text make, built record by
// record in text order.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "core/error.hpp"
#include "core/huge_pages.hpp"
#include "geometry/mesh.hpp"
#include "ifc/entity_index.hpp"
#include "ifc/record_scan.hpp"

namespace velmarin::ifc {

// A loop becomes a face over the vertices of the points it names, each
// point's vertex made at its first naming with the point's coordinates as
// they stand then. A point that is only defined further down gets its vertex
// all the same, and its first definition, when it comes, gives the vertex
// its coordinates; the vertices of numbers that no line defines are taken
// out at the end, with the faces left with fewer than three corners.
class LoopMesh final : public RecordSink {
public:
    void point(std::uint64_t entity, const Vector3D& position) override;
    void loop(std::span<const std::uint64_t> references) override;
    Result<Mesh> finish() &&;

    // The records so far are expected to grow `factor`-fold by the end:
    // a list that would run out of room on the way gets it now.
    void expect_growth(double factor);

private:
    static constexpr std::uint64_t no_vertex = std::numeric_limits<std::uint64_t>::max();

    struct Point {
        Vector3D position;
        std::uint64_t vertex = no_vertex;
    };

    void drop_undefined();

    EntityIndex index_;
    std::vector<Point, HugePageAllocator<Point>> points_;  // by slot, read in the order loops name them
    std::vector<bool> defined_;  // by slot: whether a line above has defined the point
    std::size_t undefined_ = 0;
    std::vector<Vector3D> vertices_;
    // The faces as FaceList takes them: their corners, face after face, and
    // where each face starts, then where the last one ends.
    std::vector<std::uint64_t, HugePageAllocator<std::uint64_t>> corners_;
    std::vector<std::size_t, HugePageAllocator<std::size_t>> face_offsets_{0};
};

}  // namespace velmarin::ifc
