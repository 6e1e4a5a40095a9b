#include "ifc/element_bodies.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "geometry/vector_ops.hpp"
#include "ifc/product_fields.hpp"
#include "planar/hole_triangles.hpp"

namespace velmarin::ifc {

namespace {

// Where IfcRelVoidsElement keeps RelatingBuildingElement.
constexpr std::size_t voided_element_field = 4;
// Bodies are read from contexts of these types: "Model", and "Design" as
// IFC2X3 exporters call it.
// Where IfcGeometricRepresentationSubContext keeps ParentContext.
constexpr std::size_t parent_context_field = 6;
// The sides of the polygon that stands for a circle: the geometry engine's
// count, as its solids of the shared models' round columns have it.
constexpr int circle_sides = 16;
// Subcontexts of subcontexts are followed this deep at most.
constexpr int deepest_context = 4;

bool same_word(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

bool references_in(std::string_view field, std::vector<std::uint64_t>& out) {
    return list_values(field, reference_field, out);
}

bool integers_in(std::string_view field, std::vector<std::int64_t>& out) {
    return list_values(field, integer_field, out);
}

std::optional<std::uint64_t> reference_at(std::span<const std::string_view> fields, std::size_t at) {
    return at < fields.size() ? reference_field(fields[at]) : std::nullopt;
}

bool same_point(const Vector3D& a, const Vector3D& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// A closed outline given with its first point again at its end loses the repeat.
void drop_closing_point(std::vector<Vector3D>& outline) {
    if (outline.size() > 1 && same_point(outline.front(), outline.back())) outline.pop_back();
}

}  // namespace

// The faces of one element, placed as they are added, up to a budget: shapes
// mapped into shapes mapped into shapes may multiply without end.
class ElementBodies::Builder {
public:
    // An element of more corners (or items) is left to the engine. A
    // detailed door is some ten thousand; a hundred times that is beyond any
    // element's body, and keeps a few kilobytes of mapped items mapping each
    // other to some tens of megabytes and a second's work.
    static constexpr std::size_t most_corners = 1'000'000;

    // Counts an item met; false when the element has met too many.
    bool meet_item() { return ++items_ <= most_corners; }

    bool full() const { return mesh_.faces.indices().size() > most_corners; }

    // Whether the element is left to the engine: too many corners, or one
    // placed beyond the range of doubles (finite points and placements
    // whose sums overflow).
    bool refused() const { return full() || beyond_range_; }

    void add_face(std::span<const Vector3D> corners, const Affine& placed) {
        if (corners.size() < 3 || full()) return;
        const std::uint64_t first = mesh_.vertices.size();
        for (const Vector3D& corner : corners) {
            mesh_.vertices.push_back(placed.apply(corner));
            beyond_range_ = beyond_range_ || !is_finite(mesh_.vertices.back());
        }
        face_.clear();
        for (std::uint64_t k = 0; k < corners.size(); ++k) face_.push_back(first + k);
        mesh_.faces.push_back(Face(face_));
    }

    Mesh finish() && { return std::move(mesh_); }

private:
    Mesh mesh_;
    std::vector<std::uint64_t> face_;
    std::size_t items_ = 0;
    bool beyond_range_ = false;
};

ElementBodies::ElementBodies(const StepRecords& records, double metres)
    : records_(records), placements_(records, metres) {
    std::vector<std::string_view> fields;
    for (const std::uint64_t relation : records.numbers_of("IFCRELVOIDSELEMENT")) {
        if (!fields_of(records, relation, "IFCRELVOIDSELEMENT", voided_element_field + 1, fields)) continue;
        if (const auto element = reference_field(fields[voided_element_field])) voided_.push_back(*element);
    }
    std::ranges::sort(voided_);
}

std::optional<Mesh> ElementBodies::body(std::uint64_t element) {
    if (std::ranges::binary_search(voided_, element)) return std::nullopt;
    const StepRecord* record = records_.find(element);
    std::vector<std::string_view> fields;
    if (!record || !split_fields(record->fields, fields) || fields.size() <= representation_field) return std::nullopt;
    const std::optional<std::uint64_t> placement = reference_field(fields[object_placement_field]);
    const std::optional<Affine> placed = placement ? placements_.local_placement(*placement) : std::nullopt;
    const std::optional<std::uint64_t> representation = body_representation(fields[representation_field]);
    Builder builder;
    if (!placed || !representation || !add_items(*representation, *placed, builder, 0) || builder.refused()) {
        return std::nullopt;
    }
    return std::move(builder).finish();
}

std::optional<std::uint64_t> ElementBodies::body_representation(std::string_view shape_field) const {
    // IfcProductDefinitionShape: Name, Description, Representations; each an
    // IfcShapeRepresentation: ContextOfItems, RepresentationIdentifier, RepresentationType, Items.
    std::vector<std::string_view> fields;
    std::vector<std::uint64_t> representations;
    const std::optional<std::uint64_t> shape = reference_field(shape_field);
    if (!shape || !fields_of(records_, *shape, "IFCPRODUCTDEFINITIONSHAPE", 3, fields) ||
        !references_in(fields[2], representations)) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> body;
    for (const std::uint64_t representation : representations) {
        if (!fields_of(records_, representation, "IFCSHAPEREPRESENTATION", 4, fields)) return std::nullopt;
        const std::optional<std::string_view> identifier = string_field(fields[1]);
        if (!identifier || !same_word(*identifier, "Body") || !is_model_context(fields[0])) continue;
        if (body) return std::nullopt;  // two bodies: which the engine takes is its own affair
        body = representation;
    }
    return body;
}

bool ElementBodies::is_model_context(std::string_view field) const {
    // ContextIdentifier, ContextType, ... and for a subcontext its ParentContext.
    std::vector<std::string_view> fields;
    std::optional<std::uint64_t> context = reference_field(field);
    for (int depth = 0; context && depth <= deepest_context; ++depth) {
        const StepRecord* record = records_.find(*context);
        if (!record || !split_fields(record->fields, fields) || fields.size() < 2) return false;
        if (const std::optional<std::string_view> type = string_field(fields[1])) {
            return same_word(*type, "Model") || same_word(*type, "Design");
        }
        if (fields[1] != "*" || !record_of(records_, *context, "IFCGEOMETRICREPRESENTATIONSUBCONTEXT")) return false;
        context = reference_at(fields, parent_context_field);
    }
    return false;
}

bool ElementBodies::add_items(std::uint64_t representation, const Affine& placed, Builder& builder, int depth) {
    std::vector<std::string_view> fields;
    std::vector<std::uint64_t> items;
    if (!fields_of(records_, representation, "IFCSHAPEREPRESENTATION", 4, fields) || !references_in(fields[3], items) ||
        items.empty()) {
        return false;
    }
    return std::ranges::all_of(items, [&](std::uint64_t item) { return add_item(item, placed, builder, depth); });
}

bool ElementBodies::add_item(std::uint64_t item, const Affine& placed, Builder& builder, int depth) {
    const StepRecord* record = records_.find(item);
    std::vector<std::string_view> fields;
    if (!builder.meet_item() || builder.refused() || !record || !split_fields(record->fields, fields)) return false;
    if (record_of(records_, item, "IFCMAPPEDITEM")) {
        // MappingSource, an IfcRepresentationMap (MappingOrigin,
        // MappedRepresentation), and MappingTarget.
        const std::optional<std::uint64_t> source = reference_at(fields, 0);
        const std::optional<std::uint64_t> target = reference_at(fields, 1);
        std::vector<std::string_view> map;
        if (depth >= deepest_mapping || !source || !target ||
            !fields_of(records_, *source, "IFCREPRESENTATIONMAP", 2, map)) {
            return false;
        }
        const std::optional<std::uint64_t> origin = reference_field(map[0]);
        const std::optional<std::uint64_t> mapped = reference_field(map[1]);
        const std::optional<Affine> from = origin ? placements_.axes(*origin) : std::nullopt;
        const std::optional<Affine> to = placements_.transformation(*target);
        if (!mapped || !from || !to) return false;
        return add_items(*mapped, compose(placed, compose(*to, *from)), builder, depth + 1);
    }
    if (record_of(records_, item, "IFCEXTRUDEDAREASOLID")) return add_extrusion(fields, placed, builder);
    if (record_of(records_, item, "IFCFACETEDBREP")) {
        const std::optional<std::uint64_t> shell = reference_at(fields, 0);
        return shell && record_of(records_, *shell, "IFCCLOSEDSHELL") && add_shell(*shell, placed, builder);
    }
    if (record_of(records_, item, "IFCSHELLBASEDSURFACEMODEL")) {
        std::vector<std::uint64_t> shells;
        if (fields.empty() || !references_in(fields[0], shells) || shells.empty()) return false;
        return std::ranges::all_of(shells, [&](std::uint64_t shell) { return add_shell(shell, placed, builder); });
    }
    if (record_of(records_, item, "IFCPOLYGONALFACESET")) return add_face_set(fields, false, placed, builder);
    if (record_of(records_, item, "IFCTRIANGULATEDFACESET")) return add_face_set(fields, true, placed, builder);
    return false;
}

bool ElementBodies::add_extrusion(std::span<const std::string_view> fields, const Affine& placed, Builder& builder) {
    // SweptArea, Position, ExtrudedDirection, Depth.
    if (fields.size() < 4) return false;
    const std::optional<std::uint64_t> profile = reference_field(fields[0]);
    std::optional<Affine> position = Affine{};
    if (!unset_field(fields[1])) {
        const std::optional<std::uint64_t> axes = reference_field(fields[1]);
        position = axes ? placements_.axes(*axes) : std::nullopt;
    }
    const std::optional<std::uint64_t> along = reference_field(fields[2]);
    const std::optional<Vector3D> direction = along ? placements_.direction(*along) : std::nullopt;
    const std::optional<double> depth = real_field(fields[3]);
    std::vector<Vector3D> bottom;
    if (!profile || !position || !direction || !depth || !(*depth > 0.0) || !add_profile(*profile, bottom)) {
        return false;
    }
    const double length = *depth * placements_.metres();
    const Vector3D step{direction->x * length, direction->y * length, direction->z * length};
    std::vector<Vector3D> top;
    for (const Vector3D& p : bottom) top.push_back({p.x + step.x, p.y + step.y, p.z + step.z});
    const Affine solid = compose(placed, *position);
    builder.add_face(bottom, solid);
    builder.add_face(top, solid);
    for (std::size_t k = 0; k < bottom.size(); ++k) {
        const std::size_t next = (k + 1) % bottom.size();
        const Vector3D side[4] = {bottom[k], bottom[next], top[next], top[k]};
        builder.add_face(side, solid);
    }
    return true;
}

bool ElementBodies::add_profile(std::uint64_t profile, std::vector<Vector3D>& outline) const {
    std::vector<std::string_view> fields;
    if (fields_of(records_, profile, "IFCARBITRARYCLOSEDPROFILEDEF", 3, fields)) {
        // ProfileType, ProfileName, OuterCurve.
        const std::optional<std::uint64_t> curve = reference_field(fields[2]);
        if (!curve || !(add_polyline(*curve, outline) || add_indexed_polyline(*curve, outline))) return false;
    } else if (fields_of(records_, profile, "IFCRECTANGLEPROFILEDEF", 5, fields)) {
        // ProfileType, ProfileName, Position, XDim, YDim.
        const std::optional<Affine> position = profile_position(fields[2]);
        const std::optional<double> x = real_field(fields[3]);
        const std::optional<double> y = real_field(fields[4]);
        if (!position || !x || !y || !(*x > 0.0) || !(*y > 0.0)) return false;
        const double dx = *x * placements_.metres() / 2, dy = *y * placements_.metres() / 2;
        for (const Vector3D& corner : {Vector3D{-dx, -dy, 0.0}, {dx, -dy, 0.0}, {dx, dy, 0.0}, {-dx, dy, 0.0}}) {
            outline.push_back(position->apply(corner));
        }
    } else if (fields_of(records_, profile, "IFCCIRCLEPROFILEDEF", 4, fields)) {
        // ProfileType, ProfileName, Position, Radius: a polygon of the
        // engine's count of sides, from the position's x axis on.
        const std::optional<Affine> position = profile_position(fields[2]);
        const std::optional<double> radius = real_field(fields[3]);
        if (!position || !radius || !(*radius > 0.0)) return false;
        const double r = *radius * placements_.metres();
        for (int k = 0; k < circle_sides; ++k) {
            const double angle = 2 * std::numbers::pi * k / circle_sides;
            outline.push_back(position->apply({r * std::cos(angle), r * std::sin(angle), 0.0}));
        }
    } else {
        return false;
    }
    drop_closing_point(outline);
    return outline.size() >= 3;
}

std::optional<Affine> ElementBodies::profile_position(std::string_view field) const {
    if (unset_field(field)) return Affine{};
    const std::optional<std::uint64_t> axes = reference_field(field);
    return axes ? placements_.axes(*axes) : std::nullopt;
}

bool ElementBodies::add_polyline(std::uint64_t curve, std::vector<Vector3D>& outline) const {
    std::vector<std::string_view> fields;
    std::vector<std::uint64_t> points;
    if (!fields_of(records_, curve, "IFCPOLYLINE", 1, fields) || !references_in(fields[0], points)) return false;
    for (const std::uint64_t number : points) {
        const std::optional<Vector3D> p = placements_.point(number);
        if (!p) return false;
        outline.push_back({p->x, p->y, 0.0});
    }
    return true;
}

bool ElementBodies::add_indexed_polyline(std::uint64_t curve, std::vector<Vector3D>& outline) const {
    // Points (an IfcCartesianPointList2D: CoordList), Segments, SelfIntersect.
    std::vector<std::string_view> fields;
    std::vector<std::string_view> list;
    if (!fields_of(records_, curve, "IFCINDEXEDPOLYCURVE", 2, fields)) return false;
    const std::optional<std::uint64_t> points = reference_field(fields[0]);
    if (!points || !fields_of(records_, *points, "IFCCARTESIANPOINTLIST2D", 1, list)) return false;
    std::vector<Vector3D> coordinates;
    const std::optional<std::string_view> rows = list_field(list[0]);
    std::string_view row;
    Fields each(rows ? *rows : std::string_view());
    while (each.next(row)) {
        const std::optional<Vector3D> p = coordinates_field(row);
        if (!p) return false;
        coordinates.push_back({p->x * placements_.metres(), p->y * placements_.metres(), 0.0});
    }
    if (!rows || each.broken()) return false;
    std::vector<std::int64_t> order;
    if (unset_field(fields[1])) {
        for (std::size_t k = 1; k <= coordinates.size(); ++k) order.push_back(static_cast<std::int64_t>(k));
    } else {
        // Segments: IFCLINEINDEX((1,2,...)) only; an arc is not made here.
        const std::optional<std::string_view> segments = list_field(fields[1]);
        if (!segments) return false;
        Fields segment_fields(*segments);
        std::string_view segment;
        std::vector<std::int64_t> indices;
        while (segment_fields.next(segment)) {
            constexpr std::string_view line = "IFCLINEINDEX";
            if (segment.size() < line.size() || !same_word(segment.substr(0, line.size()), line)) return false;
            // IFCLINEINDEX((1,2)): the list sits inside the typed value's parentheses.
            const std::optional<std::string_view> inner = list_field(segment.substr(line.size()));
            if (!inner || !integers_in(*inner, indices)) return false;
            for (const std::int64_t k : indices) {
                if (order.empty() || order.back() != k) order.push_back(k);
            }
        }
        if (segment_fields.broken()) return false;
    }
    for (const std::int64_t k : order) {
        if (k < 1 || static_cast<std::uint64_t>(k) > coordinates.size()) return false;
        outline.push_back(coordinates[static_cast<std::size_t>(k - 1)]);
    }
    return true;
}

bool ElementBodies::add_shell(std::uint64_t shell, const Affine& placed, Builder& builder) {
    // An IfcClosedShell or IfcOpenShell: CfsFaces; each an IfcFace: Bounds.
    std::vector<std::string_view> fields;
    std::vector<std::uint64_t> faces;
    std::vector<std::uint64_t> bounds;
    const bool closed = record_of(records_, shell, "IFCCLOSEDSHELL") != nullptr;
    if (!fields_of(records_, shell, closed ? "IFCCLOSEDSHELL" : "IFCOPENSHELL", 1, fields) ||
        !references_in(fields[0], faces)) {
        return false;
    }
    FaceLoops loops;
    for (const std::uint64_t face : faces) {
        if (!fields_of(records_, face, "IFCFACE", 1, fields) || !references_in(fields[0], bounds) || bounds.empty() ||
            !read_loops(bounds, loops)) {
            return false;
        }
        if (bounds.size() == 1) {
            builder.add_face(loops.corners, placed);
        } else if (!add_face_with_holes(loops, placed, builder)) {
            return false;
        }
    }
    return true;
}

bool ElementBodies::read_loops(std::span<const std::uint64_t> bounds, FaceLoops& loops) const {
    // Each bound an IfcFaceOuterBound or IfcFaceBound: Bound, an IfcPolyLoop
    // (Polygon), and Orientation; the outer one first.
    std::vector<std::string_view> fields;
    std::vector<std::uint64_t> points;
    loops.corners.clear();
    loops.ends.clear();
    bool outer_seen = false;
    for (const std::uint64_t bound : bounds) {
        const bool outer = fields_of(records_, bound, "IFCFACEOUTERBOUND", 2, fields);
        if (!outer && !fields_of(records_, bound, "IFCFACEBOUND", 2, fields)) return false;
        const std::optional<std::uint64_t> loop = reference_field(fields[0]);
        const std::optional<std::string_view> orientation = enumeration_field(fields[1]);
        if (!loop || !orientation || !fields_of(records_, *loop, "IFCPOLYLOOP", 1, fields) ||
            !references_in(fields[0], points)) {
            return false;
        }
        const std::size_t start = loops.corners.size();
        for (const std::uint64_t number : points) {
            const std::optional<Vector3D> p = placements_.point(number);
            if (!p) return false;
            loops.corners.push_back(*p);
        }
        if (*orientation == "F") std::reverse(loops.corners.begin() + start, loops.corners.end());
        if (outer && !outer_seen && !loops.ends.empty()) {
            // The outer bound first, wherever the face lists it.
            std::rotate(loops.corners.begin(), loops.corners.begin() + start, loops.corners.end());
            for (std::size_t& end : loops.ends) end += loops.corners.size() - start;
            loops.ends.insert(loops.ends.begin(), loops.corners.size() - start);
        } else {
            loops.ends.push_back(loops.corners.size());
        }
        outer_seen = outer_seen || outer;
    }
    return true;
}

bool ElementBodies::add_face_with_holes(const FaceLoops& loops, const Affine& placed, Builder& builder) {
    // The face is cut into triangles in the plane of its outer loop, seen
    // along the axis its normal leans to most.
    Vector3D normal{};
    const std::size_t outer = loops.ends[0];
    for (std::size_t k = 0; k < outer; ++k) {
        const Vector3D& a = loops.corners[k];
        const Vector3D& b = loops.corners[(k + 1) % outer];
        normal = {normal.x + (a.y - b.y) * (a.z + b.z), normal.y + (a.z - b.z) * (a.x + b.x),
                  normal.z + (a.x - b.x) * (a.y + b.y)};
    }
    const double ax = std::abs(normal.x), ay = std::abs(normal.y), az = std::abs(normal.z);
    const int along = az >= ax && az >= ay ? 2 : (ax >= ay ? 0 : 1);
    std::vector<Point2D> flat;
    for (const Vector3D& p : loops.corners) {
        flat.push_back(along == 2 ? Point2D{p.x, p.y} : along == 0 ? Point2D{p.y, p.z} : Point2D{p.z, p.x});
    }
    std::vector<std::vector<std::size_t>> rings;
    std::size_t start = 0;
    for (const std::size_t end : loops.ends) {
        rings.emplace_back();
        for (std::size_t k = start; k < end; ++k) rings.back().push_back(k);
        start = end;
    }
    const std::optional<std::vector<Triangle>> triangles = triangles_with_holes(flat, rings);
    if (!triangles) return false;
    // The triangles run counter-clockwise as seen: turned back where the face runs the other way.
    const bool turned = (along == 2 ? normal.z : along == 0 ? normal.x : normal.y) < 0;
    for (const Triangle& t : *triangles) {
        const Vector3D corners[3] = {loops.corners[t[0]], loops.corners[t[turned ? 2 : 1]],
                                     loops.corners[t[turned ? 1 : 2]]};
        builder.add_face(corners, placed);
    }
    return true;
}

bool ElementBodies::add_face_set(std::span<const std::string_view> fields, bool triangles, const Affine& placed,
                                 Builder& builder) {
    // Coordinates (an IfcCartesianPointList3D: CoordList) first; the faces
    // and PnIndex at 2 and 3 for polygons (IfcIndexedPolygonalFace:
    // CoordIndex), CoordIndex and PnIndex at 3 and 4 for triangles, in IFC4
    // and after.
    const std::size_t faces_at = triangles ? 3 : 2;
    if (fields.size() < faces_at + 2) return false;
    const std::optional<std::uint64_t> list = reference_field(fields[0]);
    std::vector<std::string_view> coordinate_fields;
    if (!list || !fields_of(records_, *list, "IFCCARTESIANPOINTLIST3D", 1, coordinate_fields)) return false;
    std::vector<Vector3D> coordinates;
    const std::optional<std::string_view> rows = list_field(coordinate_fields[0]);
    Fields each(rows ? *rows : std::string_view());
    std::string_view row;
    while (each.next(row)) {
        const std::optional<Vector3D> p = coordinates_field(row);
        if (!p) return false;
        const double m = placements_.metres();
        coordinates.push_back({p->x * m, p->y * m, p->z * m});
    }
    if (!rows || each.broken()) return false;
    std::vector<std::int64_t> point_index;
    if (!unset_field(fields[faces_at + 1]) && !integers_in(fields[faces_at + 1], point_index)) return false;
    auto corner = [&](std::int64_t k) -> std::optional<Vector3D> {
        if (!point_index.empty()) {
            if (k < 1 || static_cast<std::uint64_t>(k) > point_index.size()) return std::nullopt;
            k = point_index[static_cast<std::size_t>(k - 1)];
        }
        if (k < 1 || static_cast<std::uint64_t>(k) > coordinates.size()) return std::nullopt;
        return coordinates[static_cast<std::size_t>(k - 1)];
    };
    std::vector<std::int64_t> indices;
    std::vector<Vector3D> corners;
    auto add = [&]() {
        corners.clear();
        for (const std::int64_t k : indices) {
            const std::optional<Vector3D> p = corner(k);
            if (!p) return false;
            corners.push_back(*p);
        }
        builder.add_face(corners, placed);
        return true;
    };
    if (triangles) {
        const std::optional<std::string_view> triples = list_field(fields[faces_at]);
        Fields each_triangle(triples ? *triples : std::string_view());
        std::string_view triple;
        while (each_triangle.next(triple)) {
            if (!integers_in(triple, indices) || indices.size() != 3 || !add()) return false;
        }
        return triples && !each_triangle.broken();
    }
    std::vector<std::uint64_t> faces;
    std::vector<std::string_view> face_fields;
    if (!references_in(fields[faces_at], faces)) return false;
    for (const std::uint64_t face : faces) {
        if (!fields_of(records_, face, "IFCINDEXEDPOLYGONALFACE", 1, face_fields) ||
            !integers_in(face_fields[0], indices) || !add()) {
            return false;
        }
    }
    return true;
}

}  // namespace velmarin::ifc
