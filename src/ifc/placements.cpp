#include "ifc/placements.hpp"

#include <cmath>
#include <vector>

#include "geometry/vector_ops.hpp"

namespace velmarin::ifc {

namespace {

Vector3D scaled(const Vector3D& v, double s) { return {v.x * s, v.y * s, v.z * s}; }

std::optional<Vector3D> unit(const Vector3D& v) {
    const double size = length(v);
    if (!(size > 0.0) || !std::isfinite(size)) return std::nullopt;
    return divided(v, size);
}

// The part of `v` square to the unit vector `axis`, of unit length.
std::optional<Vector3D> square_to(const Vector3D& v, const Vector3D& axis) {
    return unit(minus(v, scaled(axis, dot(v, axis))));
}

}  // namespace

Vector3D Affine::apply(const Vector3D& p) const {
    return {x.x * p.x + y.x * p.y + z.x * p.z + origin.x, x.y * p.x + y.y * p.y + z.y * p.z + origin.y,
            x.z * p.x + y.z * p.y + z.z * p.z + origin.z};
}

Vector3D Affine::turn(const Vector3D& d) const {
    return {x.x * d.x + y.x * d.y + z.x * d.z, x.y * d.x + y.y * d.y + z.y * d.z, x.z * d.x + y.z * d.y + z.z * d.z};
}

Affine compose(const Affine& outer, const Affine& inner) {
    return {outer.turn(inner.x), outer.turn(inner.y), outer.turn(inner.z), outer.apply(inner.origin)};
}

std::optional<Vector3D> Placements::point(std::uint64_t number) const {
    std::vector<std::string_view> fields;
    if (!fields_of(records_, number, "IFCCARTESIANPOINT", 1, fields)) return std::nullopt;
    const std::optional<Vector3D> p = coordinates_field(fields[0]);
    if (!p) return std::nullopt;
    const Vector3D in_metres = scaled(*p, metres_);
    if (!is_finite(in_metres)) return std::nullopt;
    return in_metres;
}

std::optional<Vector3D> Placements::direction(std::uint64_t number) const {
    std::vector<std::string_view> fields;
    if (!fields_of(records_, number, "IFCDIRECTION", 1, fields)) return std::nullopt;
    const std::optional<Vector3D> d = coordinates_field(fields[0]);
    return d ? unit(*d) : std::nullopt;
}

std::optional<Vector3D> Placements::direction_or(std::string_view field, const Vector3D& otherwise) const {
    if (unset_field(field)) return otherwise;
    const std::optional<std::uint64_t> number = reference_field(field);
    return number ? direction(*number) : std::nullopt;
}

std::optional<Affine> Placements::axes(std::uint64_t number) const {
    // Location, Axis, RefDirection in three dimensions; Location, RefDirection in two.
    std::vector<std::string_view> fields;
    const StepRecord* record = records_.find(number);
    if (!record || !split_fields(record->fields, fields) || fields.empty()) return std::nullopt;
    const bool three = record_of(records_, number, "IFCAXIS2PLACEMENT3D") != nullptr;
    if (!three && !record_of(records_, number, "IFCAXIS2PLACEMENT2D")) return std::nullopt;
    if (fields.size() < (three ? 3u : 2u)) return std::nullopt;
    const std::optional<std::uint64_t> location = reference_field(fields[0]);
    const std::optional<Vector3D> origin = location ? point(*location) : std::nullopt;
    const std::optional<Vector3D> z = three ? direction_or(fields[1], {0.0, 0.0, 1.0}) : Vector3D{0.0, 0.0, 1.0};
    const std::optional<Vector3D> reference = direction_or(fields[three ? 2 : 1], {1.0, 0.0, 0.0});
    if (!origin || !z || !reference) return std::nullopt;
    const std::optional<Vector3D> x = square_to(*reference, *z);
    if (!x) return std::nullopt;
    return Affine{*x, cross(*z, *x), *z, *origin};
}

std::optional<Affine> Placements::local_placement(std::uint64_t number) {
    const std::optional<Chain> found = chain(number, 0);
    return found ? std::optional<Affine>(found->placed) : std::nullopt;
}

std::optional<Placements::Chain> Placements::chain(std::uint64_t number, int below) {
    // A placement already followed counts its links as well, so that every
    // element's answer is the same whichever elements were asked before.
    if (const auto known = placed_.find(number); known != placed_.end()) {
        if (below + known->second.links > deepest_chain) return std::nullopt;
        return known->second;
    }
    // PlacementRelTo, RelativePlacement.
    std::vector<std::string_view> fields;
    if (below >= deepest_chain || !fields_of(records_, number, "IFCLOCALPLACEMENT", 2, fields)) return std::nullopt;
    const std::optional<std::uint64_t> relative = reference_field(fields[1]);
    const std::optional<Affine> placement = relative ? axes(*relative) : std::nullopt;
    if (!placement) return std::nullopt;
    Chain made{*placement, 1};
    if (!unset_field(fields[0])) {
        const std::optional<std::uint64_t> parent = reference_field(fields[0]);
        const std::optional<Chain> outer = parent ? chain(*parent, below + 1) : std::nullopt;
        if (!outer) return std::nullopt;
        made = {compose(outer->placed, *placement), outer->links + 1};
    }
    placed_.emplace(number, made);
    return made;
}

std::optional<Affine> Placements::transformation(std::uint64_t number) const {
    // Axis1, Axis2, LocalOrigin, Scale, Axis3: the axes made square to each
    // other as the standard's base axes are, Axis3 first.
    std::vector<std::string_view> fields;
    if (!fields_of(records_, number, "IFCCARTESIANTRANSFORMATIONOPERATOR3D", 5, fields)) return std::nullopt;
    const std::optional<Vector3D> z = direction_or(fields[4], {0.0, 0.0, 1.0});
    if (!z) return std::nullopt;
    const bool along_x = z->x == 1.0 && z->y == 0.0 && z->z == 0.0;
    const Vector3D x_default = along_x ? Vector3D{0.0, 1.0, 0.0} : Vector3D{1.0, 0.0, 0.0};
    const std::optional<Vector3D> x_given = direction_or(fields[0], x_default);
    const std::optional<Vector3D> x = x_given ? square_to(*x_given, *z) : std::nullopt;
    const std::optional<Vector3D> y_given = direction_or(fields[1], {0.0, 1.0, 0.0});
    if (!x || !y_given) return std::nullopt;
    const std::optional<Vector3D> y = square_to(minus(*y_given, scaled(*z, dot(*y_given, *z))), *x);
    const std::optional<std::uint64_t> location = reference_field(fields[2]);
    const std::optional<Vector3D> origin = location ? point(*location) : std::nullopt;
    const std::optional<double> scale = unset_field(fields[3]) ? 1.0 : real_field(fields[3]);
    if (!y || !origin || !scale || !(*scale > 0.0)) return std::nullopt;
    return Affine{scaled(*x, *scale), scaled(*y, *scale), scaled(*z, *scale), *origin};
}

}  // namespace velmarin::ifc
