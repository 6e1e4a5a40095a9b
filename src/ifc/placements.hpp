// Where the records of an IFC model put things: points, directions, axis
// placements, the placements of elements relative to each other, and the
// transformations of mapped shapes, all as affine maps into metres.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>

#include "geometry/vector.hpp"
#include "ifc/step_records.hpp"

namespace velmarin::ifc {

// p -> x p.x + y p.y + z p.z + origin.
struct Affine {
    Vector3D x{1.0, 0.0, 0.0};
    Vector3D y{0.0, 1.0, 0.0};
    Vector3D z{0.0, 0.0, 1.0};
    Vector3D origin{};

    // The three columns times the point's coordinates summed in turn, then
    // the move: the order in which a geometry engine places its vertices.
    Vector3D apply(const Vector3D& p) const;
    Vector3D turn(const Vector3D& d) const;  // the linear part alone
};

// `outer` after `inner`.
Affine compose(const Affine& outer, const Affine& inner);

// Reads the placements of one model. Lengths are multiplied by `metres`
// (the model's length unit in metres). Every reader answers None for a
// record that is missing, of another type than it reads, not finite, or a
// direction of no length; the placements of elements are followed through
// chains of at most `deepest_chain` links, so a ring of them ends in None
// too, whatever was asked before.
class Placements {
public:
    Placements(const StepRecords& records, double metres) : records_(records), metres_(metres) {}

    std::optional<Vector3D> point(std::uint64_t number) const;
    // Of unit length.
    std::optional<Vector3D> direction(std::uint64_t number) const;
    // IfcAxis2Placement3D or IfcAxis2Placement2D.
    std::optional<Affine> axes(std::uint64_t number) const;
    // IfcLocalPlacement, through the placements it is relative to.
    std::optional<Affine> local_placement(std::uint64_t number);
    // IfcCartesianTransformationOperator3D, its scale uniform.
    std::optional<Affine> transformation(std::uint64_t number) const;

    // The direction a field names, or `otherwise` when it is unset.
    std::optional<Vector3D> direction_or(std::string_view field, const Vector3D& otherwise) const;

    const StepRecords& records() const { return records_; }
    double metres() const { return metres_; }

    // Building storeys sit a few levels deep; a hundred links is far beyond
    // any model's and still a short walk.
    static constexpr int deepest_chain = 100;

private:
    // A local placement followed: where it puts things, and how many links
    // its chain has, itself and those it is relative to.
    struct Chain {
        Affine placed;
        int links;
    };

    // `below`: the links already followed down to this one.
    std::optional<Chain> chain(std::uint64_t number, int below);

    const StepRecords& records_;
    double metres_;
    std::unordered_map<std::uint64_t, Chain> placed_;  // local placements already followed
};

}  // namespace velmarin::ifc
