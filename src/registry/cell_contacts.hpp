// Which cells touch, and how: coplanar faces of two meshes, intersected in
// their common plane, less the coplanar aperture faces, kept when the rest
// has an area above the tolerance.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

#include "boxes/bounds.hpp"
#include "core/fault.hpp"
#include "geometry/mesh.hpp"
#include "planar/overlay.hpp"
#include "planar/rectangle.hpp"
#include "registry/face_index.hpp"
#include "registry/face_plane.hpp"
#include "registry/search.hpp"

namespace velmarin {

struct CellContact {
    ContactType contact_type = ContactType::VerticalWall;
    std::uint64_t node_a = 0;  // the mesh whose face was queried
    std::uint64_t node_b = 0;  // always above node_a
    double shared_area = 0.0;
    Vector3D contact_centroid;
};

// An aperture face that passes the box and plane tests against one contact
// face at one depth, projected into that face's frame.
struct FaceOpening {
    std::size_t face = 0;  // the aperture step's own numbering
    Polygon2D outline;
    Rectangle2D extent;  // the outline's
};

// What the aperture step keeps from one contact of a mesh to the next: the
// apertures near a box that holds the contact's (and, mostly, those of the
// mesh's other faces), so that it need not ask its index per contact; and
// the openings of the last contact face and depth asked about, which its
// next contacts at that depth share.
struct NearApertures {
    bool made = false;
    Bounds box;
    std::vector<std::uint64_t> groups;
    const FacePlane* plane = nullptr;  // the contact face's, none before the first
    double depth = 0.0;
    std::vector<FaceOpening> openings;
};

// The queried face of a contact, as the aperture step needs it.
struct ContactFace {
    const Mesh& mesh;
    Face face;
    const FacePlane& plane;
    const PlaneFrame& frame;
    const Bounds& box;  // the face's own grown box
    // How far in front of the face (along its normal) the other cell's face
    // lies: zero for faces that touch, the wall's thickness across a wall.
    double depth = 0.0;
    // Kept by the caller for all contacts of one mesh; none: ask the index.
    NearApertures* near = nullptr;
};

// What one aperture's faces took from a region: the area left before they
// were cut less the area left after them.
struct ApertureTake {
    std::uint64_t aperture = 0;  // its position in the registry's apertures
    double area = 0.0;
};

// Cuts the aperture faces that lie between the contact face's plane and the
// plane `depth` in front of it (`plane_between`) out of a contact region, in
// the order of the registry's apertures and their faces. Nothing when no
// face was cut: the region is then as it was, and the caller need not have
// copied it. With `takes`, also what each aperture whose faces were cut
// took, in aperture order; an aperture that took nothing may be listed with
// an area of about zero (the overlay's rounding) or left out.
class ApertureCut {
public:
    virtual ~ApertureCut() = default;
    virtual std::optional<MultiPolygon2D> cut(const MultiPolygon2D& region, const ContactFace& face,
                                              std::vector<ApertureTake>* takes) const = 0;
};

// Keeps the tally of `ApertureCut::cut`'s takes while the faces of one
// aperture after the other are cut.
class TakeTally {
public:
    explicit TakeTally(std::vector<ApertureTake>* takes) : takes_(takes) {
        if (takes_) takes_->clear();
    }

    // Before a face of `aperture` is cut from `left`.
    void start(std::uint64_t aperture, const MultiPolygon2D& left) {
        if (!takes_ || (open_ && aperture == aperture_)) return;
        const double before = unsigned_area(left);
        close(before);
        aperture_ = aperture;
        before_ = before;
        open_ = true;
    }

    // After the last face was cut, leaving `left`.
    void finish(const MultiPolygon2D& left) {
        if (takes_ && open_) close(unsigned_area(left));
        open_ = false;
    }

private:
    void close(double left) {
        if (open_) takes_->push_back({aperture_, before_ - left});
    }

    std::vector<ApertureTake>* takes_;
    bool open_ = false;
    std::uint64_t aperture_ = 0;
    double before_ = 0.0;
};

// The shared, read-only inputs of every `find_cell_contacts` call.
struct ContactScene {
    const std::vector<Mesh>& meshes;
    const std::vector<std::vector<FacePlane>>& planes;  // by mesh, then by face
    const FaceIndex& faces;
    const ApertureCut& apertures;
    double tolerance;
    Search search;
};

// The contacts of mesh i with meshes at higher positions: by face of mesh i
// in face order, then in the order the face index yields the candidates.
std::vector<CellContact> find_cell_contacts(const ContactScene& scene, std::size_t i);

// A face the face index gave, with its grown box as the index compares it.
struct FaceHit {
    FaceRef ref;
    Bounds box;
};

// The hits of one queried face, in the order the face index yields them:
// those of `all` whose boxes meet `within`, or all of them when it is null.
template <class Hit>
class FaceHits {
public:
    FaceHits(std::span<const Hit> all, const Bounds* within) : all_(all), within_(within) {}

    template <class Visit>
    void for_each(const Visit& visit) const {
        for_each([](const Hit&) { return true; }, visit);
    }

    // Only the hits that `pass(hit)` also accepts, tested before the box
    // when it is the cheaper or the more selective test.
    template <class Pass, class Visit>
    void for_each(const Pass& pass, const Visit& visit) const {
        for (const Hit& hit : all_) {
            if (pass(hit) && (!within_ || within_->intersects(hit.box))) visit(hit);
        }
    }

    // Every hit, and the box they are held to (none: all count), for a
    // caller that picks its own among them.
    std::span<const Hit> all() const { return all_; }
    const Bounds* within() const { return within_; }

private:
    std::span<const Hit> all_;
    const Bounds* within_;
};

// The most faces a mesh may have for one face-index query to serve them all.
inline constexpr std::size_t whole_mesh_query_faces = 64;

// The hits one query's list holds before it first grows.
inline constexpr std::size_t whole_mesh_query_hits = 128;

// As below, with `gathered(hits)` called on the hits of each query as soon
// as they are in, before the faces they serve are visited.
template <class Keep, class Gathered, class Visit>
void for_each_queried_face(const ContactScene& scene, std::size_t i, double growth, const Keep& keep,
                           const Gathered& gathered, const Visit& visit);

// Calls `visit(face position, plane, box, hits)` for every face of mesh i
// that has a plane, in face order, with the face's box grown by `growth` and
// the faces whose grown boxes meet it: each as the record that
// `keep(FaceRef, grown box, position in the face index)` makes of it (a
// `FaceHit` or more), unless that is empty.
//
// A room of a few faces asks the face index once for the whole mesh; each
// face then keeps the hits its own box meets, which are the hits a query with
// that box gives, in the same order (the index yields a query's hits in its
// own fixed order, and a smaller box only leaves some out). A mesh of many
// faces (a curved or triangulated room) asks per face, as the literal search
// does, so that its faces are not each tested against the hits of all the
// others.
template <class Keep, class Visit>
void for_each_queried_face(const ContactScene& scene, std::size_t i, double growth, const Keep& keep,
                           const Visit& visit) {
    for_each_queried_face(
        scene, i, growth, keep, [](const auto&) {}, visit);
}

template <class Keep, class Gathered, class Visit>
void for_each_queried_face(const ContactScene& scene, std::size_t i, double growth, const Keep& keep,
                           const Gathered& gathered, const Visit& visit) {
    using Hit = typename std::invoke_result_t<const Keep&, const FaceRef&, const Bounds&, std::uint64_t>::value_type;
    struct Queried {
        std::size_t face;
        const FacePlane* plane;
        Bounds box;
    };
    const Mesh& mesh = checked(scene.meshes, i);
    const std::vector<FacePlane>& planes = checked(scene.planes, i);
    std::vector<Queried> queried;
    Bounds reach;
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        const FacePlane& plane = checked(planes, f);
        if (!plane.valid) continue;
        queried.push_back({f, &plane, face_box(mesh, f, growth)});
        reach.add(queried.back().box);
    }
    std::vector<Hit> hits;
    // A room among its neighbours meets up to about a hundred faces: room
    // for them at once, rather than growing through every power of two.
    hits.reserve(whole_mesh_query_hits);
    auto gather = [&](const Bounds& box) {
        hits.clear();
        scene.faces.query_intersecting(box, [&](const FaceRef& hit, const Bounds& grown, std::uint64_t position) {
            if (std::optional<Hit> kept = keep(hit, grown, position)) hits.push_back(*kept);
        });
        gathered(std::span<const Hit>(hits));
    };
    const bool whole_mesh =
        scene.search == Search::Indexed && !queried.empty() && queried.size() <= whole_mesh_query_faces;
    if (whole_mesh) gather(reach);
    for (const Queried& a : queried) {
        if (!whole_mesh) gather(a.box);
        visit(a.face, *a.plane, a.box, FaceHits<Hit>(hits, whole_mesh ? &a.box : nullptr));
    }
}

}  // namespace velmarin
