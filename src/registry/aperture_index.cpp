#include "registry/aperture_index.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "core/fault.hpp"
#include "core/rounding.hpp"
#include "geometry/vector_ops.hpp"
#include "planar/rectangle.hpp"

namespace velmarin {

namespace {

// The slack for rounding in the box and reach tests, relative to the
// magnitudes they compare: far above what the projections and dot products
// can lose (a few units in the last place, about 1e-16), and far below any
// distance the plane tests tell apart. A face kept by the slack alone only
// goes through the plane tests and the overlay for nothing.
constexpr double rounding_slack = 1e-9;

// Added to 2 tol under the square root of the angle limit, so that a
// tolerance of 0 still admits unit normals whose dot product rounded to
// just below 1: it lets them apart by up to sqrt(1e-12) = 1e-6.
constexpr double dot_rounding = 1e-12;

// How much more than the first contact's reach the box around a mesh is
// grown, the box whose aperture groups all the mesh's contacts then share:
// a quarter more holds most of its other faces' queries (measured by the
// instructions a build of 10,000 rooms takes, against twice the reach).
constexpr double near_box_growth = 1.25;

// Distance of the face's farthest vertex from its own plane.
double flatness(const Mesh& mesh, Face face, const FacePlane& plane) {
    double worst = 0.0;
    for (std::uint64_t index : face) {
        // As fmax would: a NaN distance leaves the worst as it was.
        const double distance = std::fabs(dot(plane.normal, checked(mesh.vertices, index)) + plane.offset);
        if (distance > worst) worst = distance;
    }
    return worst;
}

// A normal and its opposite pass the plane tests alike, so clusters hold
// normals turned to a common side.
Vector3D turned(const Vector3D& n) {
    const double lead = n.x != 0.0 ? n.x : (n.y != 0.0 ? n.y : n.z);
    return lead < 0.0 ? Vector3D{-n.x, -n.y, -n.z} : n;
}

std::array<std::int64_t, 3> cluster_key(const Vector3D& n) {
    constexpr double cells = 0x1p20;
    return {round_saturating(n.x * cells), round_saturating(n.y * cells), round_saturating(n.z * cells)};
}

// The last few normals a loop has met, compared exactly.
class RecentNormals {
public:
    bool holds(const Vector3D& n) const {
        for (std::size_t k = 0; k < count_; ++k) {
            const Vector3D& m = normals_[k];
            if (m.x == n.x && m.y == n.y && m.z == n.z) return true;
        }
        return false;
    }

    void add(const Vector3D& n) {
        normals_[next_] = n;
        next_ = (next_ + 1) % normals_.size();
        count_ = std::min(count_ + 1, normals_.size());
    }

private:
    std::array<Vector3D, 4> normals_{};
    std::size_t next_ = 0;
    std::size_t count_ = 0;
};

double distance_up_to_sign(const Vector3D& a, const Vector3D& b) {
    return std::fmin(length(minus(a, b)), length(Vector3D{a.x + b.x, a.y + b.y, a.z + b.z}));
}

// Whether the projection of a 3D box along `axis` meets [low, high]. The
// projection of a box's centre c and half-sizes h is c.axis +- sum |axis_i| h_i.
bool meets(const Bounds& box, const Vector3D& origin, const Vector3D& axis, double low, double high) {
    const Vector3D centre{(box.lower.x + box.upper.x) * 0.5 - origin.x, (box.lower.y + box.upper.y) * 0.5 - origin.y,
                          (box.lower.z + box.upper.z) * 0.5 - origin.z};
    const Vector3D half{(box.upper.x - box.lower.x) * 0.5, (box.upper.y - box.lower.y) * 0.5,
                        (box.upper.z - box.lower.z) * 0.5};
    const double middle = dot(centre, axis);
    const double spread = std::fabs(axis.x) * half.x + std::fabs(axis.y) * half.y + std::fabs(axis.z) * half.z;
    const double slack =
        rounding_slack * (1.0 + std::fabs(middle) + spread + std::fmax(std::fabs(low), std::fabs(high)));
    return middle + spread >= low - slack && middle - spread <= high + slack;
}

// Whether two closed rings run through the same points in the same cyclic
// order, either way round: then they bound the same region.
bool same_ring(const Ring& a, const Ring& b) {
    if (a.size() != b.size() || a.size() < 2) return false;
    const std::size_t n = a.size() - 1;  // the closing point repeats the first
    auto equal = [](const Point2D& p, const Point2D& q) { return p.x == q.x && p.y == q.y; };
    for (std::size_t start = 0; start < n; ++start) {
        if (!equal(a[0], b[start])) continue;
        bool forward = true, backward = true;
        for (std::size_t k = 1; k < n && (forward || backward); ++k) {
            forward = forward && equal(a[k], b[(start + k) % n]);
            backward = backward && equal(a[k], b[(start + n - k) % n]);
        }
        if (forward || backward) return true;
    }
    return false;
}

// Whether `outer` holds all of `inner`.
bool holds(const Bounds& outer, const Bounds& inner) {
    return outer.lower.x <= inner.lower.x && outer.lower.y <= inner.lower.y && outer.lower.z <= inner.lower.z &&
           inner.upper.x <= outer.upper.x && inner.upper.y <= outer.upper.y && inner.upper.z <= outer.upper.z;
}

Bounds mesh_box(const Mesh& mesh) {
    Bounds box;
    for (const Vector3D& v : mesh.vertices) box.add(v);
    return box;
}

}  // namespace

ApertureIndex::ApertureIndex(const std::vector<Mesh>& apertures, double tolerance)
    : ApertureIndex(index_faces(apertures), tolerance) {}

ApertureIndex::ApertureIndex(Contents contents, double tolerance)
    : tolerance_(tolerance),
      faces_(std::move(contents.faces)),
      groups_(std::move(contents.groups)),
      clusters_(std::move(contents.clusters)),
      radius_(contents.radius),
      tree_(contents.entries) {}

// Appends the face with its plane and boxes, unless its plane has a part
// that is not finite; `squared_radius` takes its vertices' squared distances
// from the origin.
void ApertureIndex::add_face(const Mesh& mesh, std::uint64_t aperture, std::size_t face,
                             std::vector<ApertureFace>& faces, double& squared_radius) {
    const FacePlane plane = face_plane(mesh, face);
    // A plane with a non-finite part fails every plane test.
    if (!plane.valid || !is_finite(plane.normal) || !std::isfinite(plane.offset)) return;
    Face indices = mesh.faces[face];
    Bounds box;
    for (std::uint64_t index : indices) {
        const Vector3D& q = checked(mesh.vertices, index);
        box.add(q);
        const double squared = dot(q, q);
        if (squared > squared_radius) squared_radius = squared;  // as fmax: NaN leaves it
    }
    faces.push_back({&mesh, aperture, face, plane, box, box.grown(flatness(mesh, indices, plane))});
}

ApertureIndex::Contents ApertureIndex::index_faces(const std::vector<Mesh>& apertures) {
    Contents out;
    std::size_t face_count = 0;
    for (const Mesh& mesh : apertures) face_count += mesh.faces.size();
    std::vector<ApertureFace>& faces = out.faces;
    faces.reserve(face_count);
    out.groups.reserve(apertures.size());
    out.entries.reserve(apertures.size());
    double squared_radius = 0.0;
    for (std::size_t a = 0; a < apertures.size(); ++a) {
        const Mesh& mesh = apertures[a];
        const std::size_t begin = faces.size();
        for (std::size_t g = 0; g < mesh.faces.size(); ++g) add_face(mesh, a, g, faces, squared_radius);
        if (faces.size() == begin) continue;
        Bounds all;
        for (std::size_t k = begin; k < faces.size(); ++k) all.add(faces[k].grown);
        out.entries.push_back({all, out.groups.size()});
        out.groups.push_back({begin, faces.size(), all});
    }
    out.radius = std::sqrt(squared_radius);
    std::map<std::array<std::int64_t, 3>, std::size_t> clusters;
    std::array<std::int64_t, 3> last_key{};
    std::size_t last = 0;
    // The faces of a box alternate among a few normals: one seen lately
    // exactly has its key, its cluster and its spread already counted.
    RecentNormals recent;
    for (const ApertureFace& face : faces) {
        const Vector3D normal = turned(face.plane.normal);
        if (recent.holds(normal)) continue;
        recent.add(normal);
        const std::array<std::int64_t, 3> key = cluster_key(normal);
        if (out.clusters.empty() || key != last_key) {  // neighbouring faces mostly share their normal
            auto [place, added] = clusters.try_emplace(key, out.clusters.size());
            if (added) out.clusters.push_back({normal, 0.0});
            last_key = key;
            last = place->second;
        }
        NormalCluster& cluster = checked(out.clusters, last);
        cluster.spread = std::fmax(cluster.spread, length(minus(normal, cluster.normal)));
    }
    return out;
}

double ApertureIndex::reach(const ContactFace& face) const {
    const Vector3D& n = face.plane.normal;
    // Normals that pass the angle test lie within sqrt(2 tol) of n or -n.
    const double limit = std::sqrt(2.0 * tolerance_ + dot_rounding) + rounding_slack;
    double tilt = -1.0;
    for (const NormalCluster& cluster : clusters_) {
        const double apart = distance_up_to_sign(n, cluster.normal);
        if (apart - cluster.spread > limit) continue;
        tilt = std::fmax(tilt, apart + cluster.spread);
    }
    if (tilt < 0.0) return -1.0;
    const double own_flatness = flatness(face.mesh, face.face, face.plane);
    const double slack = rounding_slack * (1.0 + radius_ + face.box.magnitude());
    // Parallel faces add no tilt even when a vertex lies so far out that the
    // radius overflowed: zero times infinity would make the reach NaN, and a
    // NaN reach finds no face at all.
    const double tilted = tilt > 0.0 ? tilt * radius_ : 0.0;
    return own_flatness + tolerance_ + tilted + slack;
}

void ApertureIndex::gather(const ContactFace& face, std::vector<FaceOpening>& out) const {
    out.clear();
    const double distance = reach(face);
    if (distance < 0.0) return;
    const Vector3D& n = face.plane.normal;
    const Bounds query = face.box.swept({n.x * face.depth, n.y * face.depth, n.z * face.depth}).grown(distance);
    std::vector<std::size_t> passing;
    auto consider = [&](std::size_t k) {
        const ApertureFace& candidate = checked(faces_, k);
        if (!candidate.grown.intersects(query)) return;
        if (!plane_between(face.plane, candidate.plane, tolerance_, face.depth)) return;
        passing.push_back(k);
    };
    auto consider_group = [&](std::uint64_t g) {
        const FaceGroup& group = checked(groups_, g);
        for (std::size_t k = group.begin; k < group.end; ++k) consider(k);
    };
    // Every face the query reaches lies in a group the query meets, so the
    // groups near a larger box serve as well: `consider` tests each face's
    // own box, and the sort makes the order the index's visits leave.
    if (face.near && query.is_finite()) {
        NearApertures& near = *face.near;
        if (!near.made || !holds(near.box, query)) {
            near.box = mesh_box(face.mesh).grown(tolerance_ + near_box_growth * (std::fabs(face.depth) + distance));
            near.box.add(query);
            near.groups.clear();
            tree_.query(near.box, [&](std::uint64_t g) { near.groups.push_back(g); });
            near.made = true;
        }
        for (std::uint64_t g : near.groups) {
            if (checked(groups_, g).box.intersects(query)) consider_group(g);
        }
    } else {
        tree_.query(query, consider_group);
    }
    std::sort(passing.begin(), passing.end());
    out.reserve(passing.size());
    for (std::size_t k : passing) {
        const ApertureFace& hole = faces_[k];
        Polygon2D outline = project_face(hole.mesh->vertices, hole.mesh->faces[hole.face], face.frame.origin,
                                         face.frame.u, face.frame.v);
        const Rectangle2D extent = rectangle_of(outline);
        out.push_back({k, std::move(outline), extent});
    }
}

// The openings depend on the contact face and the depth alone, not on the
// region: the contacts of one face at one depth (a wall facing several
// rooms) share them.
const std::vector<FaceOpening>& ApertureIndex::openings_of(const ContactFace& face,
                                                           std::vector<FaceOpening>& own) const {
    if (!face.near) {
        gather(face, own);
        return own;
    }
    NearApertures& near = *face.near;
    if (near.plane != &face.plane || !(near.depth == face.depth)) {
        gather(face, near.openings);
        near.plane = &face.plane;
        near.depth = face.depth;
    }
    return near.openings;
}

std::optional<MultiPolygon2D> ApertureIndex::cut(const MultiPolygon2D& region, const ContactFace& face,
                                                 std::vector<ApertureTake>* takes) const {
    TakeTally tally(takes);
    if (region.empty() || faces_.empty()) return std::nullopt;
    std::optional<MultiPolygon2D> left;
    std::vector<FaceOpening> own;
    const std::vector<FaceOpening>& openings = openings_of(face, own);
    const Rectangle2D extent = rectangle_of(region);
    const PlaneFrame& frame = face.frame;
    std::vector<const Ring*> made;  // the outlines cut so far
    for (const FaceOpening& opening : openings) {
        const ApertureFace& hole = faces_[opening.face];
        // Only the faces whose boxes reach the region's extent.
        if (extent.finite && !(meets(hole.box, frame.origin, frame.u, extent.min_x, extent.max_x) &&
                               meets(hole.box, frame.origin, frame.v, extent.min_y, extent.max_y))) {
            continue;
        }
        // Cuts that cannot take any area are not made, so they cannot move
        // the region onto another rounding grid either: an outline that at
        // most touches the region (such as a door's sill beside a slab), and
        // one already cut (the two faces of a door that spans a wall).
        const Ring& outline = opening.outline.exterior;
        if (opening.extent.apart_from(extent) ||
            std::any_of(made.begin(), made.end(), [&](const Ring* r) { return same_ring(*r, outline); })) {
            continue;
        }
        tally.start(hole.aperture, left ? *left : region);
        left = polygon_boolean(left ? *left : region, opening.outline, BooleanOp::Difference);
        if (left->empty()) break;
        made.push_back(&outline);
    }
    if (left) tally.finish(*left);
    return left;
}

}  // namespace velmarin
