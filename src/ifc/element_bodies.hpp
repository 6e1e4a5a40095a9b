// The bodies of building elements made straight from the records of their
// shapes: the common kinds that authoring tools write for rooms, doors,
// windows, openings, stairs and columns, in world coordinates and metres.
//
// Made: extrusions of polylines, indexed polylines of straight segments,
// rectangles and circles (polygons of 16 sides); faceted breps and
// shell-based surface models of poly loops, faces with holes cut into
// triangles; polygonal and triangulated face sets; shapes mapped into
// place, uniformly scaled. An element is made only when the one
// representation it has for its body (identifier "Body", in a "Model" or
// "Design" context) holds nothing else and no opening voids it; any other
// element is left to a geometry engine, as is one whose records do not read
// as the standard has them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "geometry/mesh.hpp"
#include "ifc/placements.hpp"
#include "ifc/step_records.hpp"

namespace velmarin::ifc {

class ElementBodies {
public:
    // `metres`: the model's length unit in metres.
    ElementBodies(const StepRecords& records, double metres);

    // The faces of the element's body, as its records give them (each
    // item's faces apart, none merged or turned), or None when the element
    // is not one of those made here.
    std::optional<Mesh> body(std::uint64_t element);

    // Shapes mapped into mapped shapes are followed this deep at most.
    static constexpr int deepest_mapping = 8;

private:
    class Builder;

    std::optional<std::uint64_t> body_representation(std::string_view shape_field) const;
    bool is_model_context(std::string_view field) const;
    bool add_items(std::uint64_t representation, const Affine& placed, Builder& builder, int depth);
    bool add_item(std::uint64_t item, const Affine& placed, Builder& builder, int depth);
    bool add_extrusion(std::span<const std::string_view> fields, const Affine& placed, Builder& builder);
    bool add_profile(std::uint64_t profile, std::vector<Vector3D>& outline) const;
    // A parameterized profile's Position: none is the identity.
    std::optional<Affine> profile_position(std::string_view field) const;
    bool add_polyline(std::uint64_t curve, std::vector<Vector3D>& outline) const;
    bool add_indexed_polyline(std::uint64_t curve, std::vector<Vector3D>& outline) const;
    // A face's loops, the outer one first: their corners one loop after
    // the other, and where each loop ends.
    struct FaceLoops {
        std::vector<Vector3D> corners;
        std::vector<std::size_t> ends;
    };

    bool add_shell(std::uint64_t shell, const Affine& placed, Builder& builder);
    bool read_loops(std::span<const std::uint64_t> bounds, FaceLoops& loops) const;
    bool add_face_with_holes(const FaceLoops& loops, const Affine& placed, Builder& builder);
    bool add_face_set(std::span<const std::string_view> fields, bool triangles, const Affine& placed, Builder& builder);

    const StepRecords& records_;
    Placements placements_;
    std::vector<std::uint64_t> voided_;  // the elements that openings void, sorted
};

}  // namespace velmarin::ifc
