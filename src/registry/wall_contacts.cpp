#include "registry/wall_contacts.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <tuple>
#include <utility>

#include "core/fault.hpp"
#include "geometry/vector_ops.hpp"
#include "planar/rectangle.hpp"
#include "registry/face_projection.hpp"

namespace velmarin {

namespace {

// A face of another mesh that faces the queried one.
struct Facing {
    FaceRef ref;
    double depth = 0.0;  // how far its vertex mean lies in front of the queried face
    Rectangle2D extent;  // where it falls in the queried face's frame (indexed search only)
};

bool nearer(const Facing& a, const Facing& b) {
    return std::tie(a.depth, a.ref.mesh, a.ref.face) < std::tie(b.depth, b.ref.mesh, b.ref.face);
}

// A difference of areas no larger than this share of the square around a
// region is the overlay's rounding (its grid is about 2^-29 of the operands'
// extent), not an opening that took part of the region.
constexpr double overlay_rounding_share = 0x1p-20;

double rounding_of(const MultiPolygon2D& region) {
    const Rectangle2D r = rectangle_of(region);
    const double extent = std::fmax(r.max_x - r.min_x, r.max_y - r.min_y);
    return extent * extent * overlay_rounding_share;
}

// The apertures that took more than the rounding, by position (the takes
// come in aperture order, one per aperture).
std::vector<std::uint64_t> apertures_taking(const std::vector<ApertureTake>& takes, double rounding) {
    std::vector<std::uint64_t> out;
    for (const ApertureTake& take : takes) {
        if (take.area > rounding) out.push_back(take.aperture);
    }
    return out;
}

// One face A of mesh i, with everything the faces facing it are compared in.
class WallFace {
public:
    WallFace(const WallScene& scene, std::size_t mesh_index, std::size_t face, const FacePlane& plane,
             NearApertures& apertures_near, std::vector<ApertureTake>& takes)
        : scene_(scene),
          mesh_index_(mesh_index),
          mesh_(checked(scene.meshes, mesh_index)),
          face_(checked(mesh_.faces, face)),
          plane_(plane),
          box_(face_box(mesh_, face, scene.tolerance)),
          frame_(plane_frame(plane.normal, checked(mesh_.vertices, checked(face_, 0)))),
          polygon_(project(mesh_, face_, frame_)),
          extent_(rectangle_of(polygon_)),
          apertures_near_(apertures_near),
          takes_(takes) {}

    // Every face of another mesh among `hits` that faces A, nearest first.
    // The indexed search leaves out the faces whose extents at most touch
    // A's: they share no area with it, even on the overlay's grid.
    std::vector<Facing> facing(const std::vector<Facing>& hits) const {
        std::vector<Facing> out;
        out.reserve(hits.size());
        for (Facing hit : hits) {
            if (scene_.search == Search::Indexed) {
                hit.extent = projected_extent(other_mesh(hit), other_face(hit), frame_);
                if (hit.extent.apart_from(extent_)) continue;
            }
            out.push_back(hit);
        }
        std::sort(out.begin(), out.end(), nearer);
        return out;
    }

    // Each face keeps (A less the nearer faces) intersected with itself,
    // computed as (A with itself) less the nearer faces that overlap it.
    void contacts(const std::vector<Facing>& facing, std::vector<WallContact>& out) const {
        for (std::size_t k = 0; k < facing.size(); ++k) {
            const Facing& b = facing[k];
            if (b.ref.mesh <= mesh_index_) continue;
            MultiPolygon2D region = polygon_boolean(polygon_, project_other(b), BooleanOp::Intersection);
            for (std::size_t m = 0; m < k && !region.empty(); ++m) {
                if (facing[m].extent.apart_from(b.extent)) continue;
                region = polygon_boolean(region, project_other(facing[m]), BooleanOp::Difference);
            }
            add_contact(std::move(region), b, out);
        }
    }

    // The same, as written: what is left of A is carried from face to face.
    void literal_contacts(const std::vector<Facing>& facing, std::vector<WallContact>& out) const {
        MultiPolygon2D left{polygon_};
        for (const Facing& b : facing) {
            const Polygon2D polygon = project_other(b);
            if (b.ref.mesh > mesh_index_) {
                add_contact(polygon_boolean(left, polygon, BooleanOp::Intersection), b, out);
            }
            left = polygon_boolean(left, polygon, BooleanOp::Difference);
        }
    }

private:
    const Mesh& other_mesh(const Facing& b) const { return checked(scene_.meshes, b.ref.mesh); }
    Face other_face(const Facing& b) const { return checked(other_mesh(b).faces, b.ref.face); }
    Polygon2D project_other(const Facing& b) const { return project(other_mesh(b), other_face(b), frame_); }

    // The region before the openings decides whether there is a contact, so
    // a wall that is all door still links its rooms. The rounding that
    // decides whether the openings took area decides which of them did.
    void add_contact(MultiPolygon2D region, const Facing& b, std::vector<WallContact>& out) const {
        const double whole = unsigned_area(region);
        if (!(whole > scene_.tolerance)) return;
        const std::optional<MultiPolygon2D> cut =
            scene_.apertures.cut(region, {mesh_, face_, plane_, frame_, box_, b.depth, &apertures_near_}, &takes_);
        const MultiPolygon2D* open = &region;
        double area = whole;
        double opening = 0.0;
        std::vector<std::uint64_t> apertures;
        if (cut) {
            const double left = unsigned_area(*cut);
            const double rounding = rounding_of(region);
            if (whole - left > rounding) {
                open = &*cut;
                area = left;
                opening = whole - left;
                apertures = apertures_taking(takes_, rounding);
            }
        }
        const Point2D centre = area_centroid(area > scene_.tolerance ? *open : region);
        const Vector3D in_plane = in_space(frame_, centre);
        const double half = b.depth * 0.5;
        const Vector3D& n = plane_.normal;
        const Vector3D between{in_plane.x + n.x * half, in_plane.y + n.y * half, in_plane.z + n.z * half};
        out.push_back(
            {{contact_type_of(n), mesh_index_, b.ref.mesh, area, between}, b.depth, opening, std::move(apertures)});
    }

    const WallScene& scene_;
    std::size_t mesh_index_;
    const Mesh& mesh_;
    Face face_;
    const FacePlane& plane_;
    Bounds box_;  // grown by the tolerance, as the aperture step expects
    PlaneFrame frame_;
    Polygon2D polygon_;
    Rectangle2D extent_;
    NearApertures& apertures_near_;  // the mesh's
    std::vector<ApertureTake>& takes_;  // the mesh's, for each contact in turn
};

// A candidate: a face of another mesh whose grown box meets that of a face
// of mesh i, with what the facing test reads.
struct Candidate {
    FaceRef ref;
    Bounds box;  // its grown box, as the face index compares it
    const FacingFacts* facts;
    AxisDirection axis;  // facts->axis, at hand without following the pointer
};

// The direction opposite to one along an axis.
AxisDirection reversed(AxisDirection d) { return static_cast<AxisDirection>(static_cast<unsigned>(d) ^ 1u); }

// The hits of one query by the directions of their normals, each
// direction's in the order the query gave them: one list, counted out.
class HitsByDirection {
public:
    void sort(std::span<const Candidate> hits) {
        std::array<std::size_t, directions + 1> next{};
        for (const Candidate& hit : hits) ++next[index(hit.axis) + 1];
        for (std::size_t d = 0; d < directions; ++d) next[d + 1] += next[d];
        starts_ = next;
        sorted_.resize(hits.size());
        for (const Candidate& hit : hits) sorted_[next[index(hit.axis)]++] = &hit;
    }

    std::span<const Candidate* const> along(AxisDirection d) const {
        const std::size_t start = starts_[index(d)];
        return std::span<const Candidate* const>(sorted_).subspan(start, starts_[index(d) + 1] - start);
    }

private:
    static constexpr std::size_t directions = 7;
    static std::size_t index(AxisDirection d) { return static_cast<std::size_t>(d); }

    std::vector<const Candidate*> sorted_;
    std::array<std::size_t, directions + 1> starts_{};
};

// The faces of other meshes that face A (plane `plane`), among `hits`: those
// whose grown boxes meet A's. Opposite normals within the tolerance, and B's
// vertex mean in front of A by more than minus the tolerance and at most the
// wall thickness (the slab thickness when A makes a slab). True when one of
// them belongs to a mesh above i. The order of `out` is left to the caller,
// which sorts it.
bool find_facing(const WallScene& scene, std::size_t i, const FacePlane& plane, const FaceHits<Candidate>& hits,
                 const HitsByDirection& by_direction, std::vector<Facing>& out) {
    out.clear();
    bool above = false;
    const double limit = -(1.0 - scene.tolerance);
    const double thickness =
        contact_type_of(plane.normal) == ContactType::HorizontalSlab ? scene.slab_thickness : scene.wall_thickness;
    const Bounds* within = hits.within();
    auto take = [&](const Candidate& hit) {
        if (within && !within->intersects(hit.box)) return;
        const double depth = dot(plane.normal, hit.facts->centre) + plane.offset;
        if (!(depth > -scene.tolerance && depth <= thickness)) return;
        out.push_back({hit.ref, depth, {}});
        above = above || hit.ref.mesh > i;
    };
    auto test_normal = [&](const Candidate& hit) {
        if (dot(plane.normal, hit.facts->normal) < limit) take(hit);
    };
    // Most candidates do not face A: the normals are compared first, and
    // those of box rooms by their directions alone. Two normals along the
    // axes have a dot product of -1, 0 or 1; while the limit is at most 0
    // (a tolerance of at most 1, or NaN), only opposite ones can pass.
    const AxisDirection own = axis_direction(plane.normal);
    if (own == AxisDirection::None || 0.0 < limit) {
        for (const Candidate& hit : hits.all()) test_normal(hit);
        return above;
    }
    if (-1.0 < limit) {
        for (const Candidate* hit : by_direction.along(reversed(own))) take(*hit);
    }
    for (const Candidate* hit : by_direction.along(AxisDirection::None)) test_normal(*hit);
    return above;
}

}  // namespace

AxisDirection axis_direction(const Vector3D& n) {
    auto along = [](double lead, double a, double b, AxisDirection plus) {
        if (a != 0.0 || b != 0.0) return AxisDirection::None;
        if (lead == 1.0) return plus;
        return lead == -1.0 ? static_cast<AxisDirection>(static_cast<unsigned>(plus) + 1) : AxisDirection::None;
    };
    if (n.x != 0.0) return along(n.x, n.y, n.z, AxisDirection::PlusX);
    if (n.y != 0.0) return along(n.y, n.x, n.z, AxisDirection::PlusY);
    return along(n.z, n.x, n.y, AxisDirection::PlusZ);
}

std::vector<FacingFacts> facing_facts(const std::vector<Mesh>& meshes,
                                      const std::vector<std::vector<FacePlane>>& planes) {
    std::size_t count = 0;
    for (const Mesh& mesh : meshes) count += mesh.faces.size();
    std::vector<FacingFacts> facts;
    facts.reserve(count);
    for (std::size_t m = 0; m < meshes.size(); ++m) {
        const Mesh& mesh = meshes[m];
        for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
            const FacePlane& plane = checked(checked(planes, m), f);
            facts.push_back({plane.normal, plane.offset, face_centre(mesh, mesh.faces[f]), plane.valid,
                             axis_direction(plane.normal)});
        }
    }
    return facts;
}

std::vector<WallContact> find_wall_contacts(const WallScene& scene, std::size_t i) {
    std::vector<WallContact> contacts;
    std::vector<Facing> hits;
    NearApertures apertures_near;
    std::vector<ApertureTake> takes;
    // Faces of other meshes with a plane.
    auto other = [&](const FaceRef& hit, const Bounds& grown, std::uint64_t position) -> std::optional<Candidate> {
        if (hit.mesh == i) return std::nullopt;
        const FacingFacts& facts = checked(scene.facts, position);
        if (!facts.valid) return std::nullopt;
        return Candidate{hit, grown, &facts, facts.axis};
    };
    HitsByDirection by_direction;
    auto gathered = [&](std::span<const Candidate> candidates) { by_direction.sort(candidates); };
    auto visit = [&](std::size_t f, const FacePlane& plane, const Bounds&, const FaceHits<Candidate>& candidates) {
        // Only faces of meshes above i give contacts; the rest only hide.
        if (!find_facing(scene, i, plane, candidates, by_direction, hits)) return;
        const WallFace face(scene, i, f, plane, apertures_near, takes);
        const std::vector<Facing> facing = face.facing(hits);
        if (scene.search == Search::Literal) {
            face.literal_contacts(facing, contacts);
        } else {
            face.contacts(facing, contacts);
        }
    };
    for_each_queried_face(scene, i, scene.reach, other, gathered, visit);
    return contacts;
}

}  // namespace velmarin
