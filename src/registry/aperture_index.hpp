// The aperture step through an index: each aperture face's plane computed
// once per build, and only the faces that can reach a contact region cut out
// of it, still in the order of the apertures and their faces.
//
// Which faces can reach the region? An aperture face F that passes the plane
// tests against the contact face A (normal n, offset dA, and the other face
// `depth` in front of it) has its points q within
// tol + |n - m| |q| + flat(F) of the part of space between A's plane and the
// plane `depth` in front of it, m being F's normal signed to match n and
// flat(F) how far F's own vertices stray from F's plane. The region lies in
// A's plane inside A's box grown by flat(A). So F can reach the region only
// when F's box, grown by flat(F), meets A's box swept along n by `depth` and
// grown by flat(A) + tol + |n - m| max|q|. |n - m| is bounded through
// clusters of nearly equal normals, and is zero for the usual case of faces
// exactly parallel to A. The faces of one aperture enter the index together,
// under the box that holds all their grown boxes (a door solid has six
// faces), and are then tested one by one.
//
// The faces skipped are those whose projection misses the region: cutting
// them would leave it as it was, up to the overlay's rounding grid.
#pragma once

#include <cstdint>
#include <vector>

#include "boxes/box_index.hpp"
#include "registry/cell_contacts.hpp"

namespace velmarin {

class ApertureIndex final : public ApertureCut {
public:
    ApertureIndex(const std::vector<Mesh>& apertures, double tolerance);

    std::optional<MultiPolygon2D> cut(const MultiPolygon2D& region, const ContactFace& face,
                                      std::vector<ApertureTake>* takes) const override;

private:
    struct ApertureFace {
        const Mesh* mesh;
        std::uint64_t aperture;  // the mesh's position in the apertures
        std::size_t face;
        FacePlane plane;
        Bounds box;
        Bounds grown;  // grown by the face's flatness
    };
    // The faces of one aperture, a range of `faces_`.
    struct FaceGroup {
        std::size_t begin;
        std::size_t end;
        Bounds box;  // holds the faces' grown boxes
    };
    // Normals that agree to about 1e-6, up to sign.
    struct NormalCluster {
        Vector3D normal;
        double spread = 0.0;  // largest distance of a member's normal from `normal`
    };

    // Everything the index holds, made before any member is initialised, so
    // that no member's initialiser reads another.
    struct Contents {
        std::vector<ApertureFace> faces;
        std::vector<FaceGroup> groups;
        std::vector<NormalCluster> clusters;
        double radius = 0.0;
        std::vector<BoxIndex::Entry> entries;  // one per group, for the tree
    };
    static void add_face(const Mesh& mesh, std::uint64_t aperture, std::size_t face, std::vector<ApertureFace>& faces,
                         double& squared_radius);
    static Contents index_faces(const std::vector<Mesh>& apertures);
    ApertureIndex(Contents contents, double tolerance);

    // How far from the contact face an aperture face may lie and still reach
    // the region; negative when no aperture face can pass the plane tests.
    double reach(const ContactFace& face) const;
    // The faces that pass the box and plane tests against the contact face
    // at its depth, in order, with their outlines in its frame.
    void gather(const ContactFace& face, std::vector<FaceOpening>& out) const;
    const std::vector<FaceOpening>& openings_of(const ContactFace& face, std::vector<FaceOpening>& own) const;

    double tolerance_;
    std::vector<ApertureFace> faces_;  // in the order of the apertures and their faces
    std::vector<FaceGroup> groups_;    // by the tree's positions
    std::vector<NormalCluster> clusters_;
    double radius_ = 0.0;  // largest distance of an indexed vertex from the origin
    BoxIndex tree_;
};

}  // namespace velmarin
