#include "geometry/orient.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "geometry/edge_faces.hpp"
#include "geometry/vector_ops.hpp"

namespace velmarin {

namespace {

// The faces as they are being wound: each as given, or reversed.
class Winding {
public:
    explicit Winding(const FaceList& faces) : faces_(faces), reversed_(faces.size(), false) {}

    std::size_t size(std::size_t f) const { return faces_[f].size(); }

    // Corner i of face f as wound now.
    std::uint64_t corner(std::size_t f, std::size_t i) const {
        const Face face = faces_[f];
        return reversed_[f] ? face[face.size() - 1 - i] : face[i];
    }

    // Which of the face's edges as given is its edge i (corner i to the
    // next) as wound now: reversed, corner i is corner n-1-i as given.
    std::size_t given_edge(std::size_t f, std::size_t i) const {
        const std::size_t n = faces_[f].size();
        return reversed_[f] ? (2 * n - 2 - i) % n : i;
    }

    // Whether face f runs from corner a to corner b, as wound now.
    bool runs(std::size_t f, std::uint64_t a, std::uint64_t b) const {
        const std::size_t n = size(f);
        for (std::size_t i = 0; i < n; ++i) {
            if (corner(f, i) == a && corner(f, i + 1 == n ? 0 : i + 1) == b) return true;
        }
        return false;
    }

    void turn(std::size_t f) { reversed_[f] = !reversed_[f]; }

    FaceList wound() const {
        FaceList out;
        out.reserve(faces_.size(), faces_.indices().size());
        std::vector<std::uint64_t> corners;
        for (std::size_t f = 0; f < faces_.size(); ++f) {
            corners.assign(faces_[f].begin(), faces_[f].end());
            if (reversed_[f]) std::reverse(corners.begin(), corners.end());
            out.push_back(corners);
        }
        return out;
    }

private:
    const FaceList& faces_;
    std::vector<bool> reversed_;
};

// Six times the signed volume the shell's faces enclose, as the header says.
double shell_volume(const std::vector<Vector3D>& vertices, const Winding& winding,
                    const std::vector<std::size_t>& shell) {
    const Vector3D origin = vertices[winding.corner(shell.front(), 0)];
    double total = 0.0;
    for (const std::size_t f : shell) {
        const Vector3D a = minus(vertices[winding.corner(f, 0)], origin);
        for (std::size_t i = 1; i + 1 < winding.size(f); ++i) {
            const Vector3D b = minus(vertices[winding.corner(f, i)], origin);
            const Vector3D c = minus(vertices[winding.corner(f, i + 1)], origin);
            total += dot(a, cross(b, c));
        }
    }
    return total;
}

}  // namespace

Result<Mesh> orient_outward(const Mesh& mesh) {
    if (auto status = validate(mesh); !status.ok()) return status.error();
    const FaceList& faces = mesh.faces;
    const EdgeFaces along(mesh);
    Winding winding(faces);
    std::vector<bool> reached(faces.size(), false);
    std::vector<std::size_t> shell, to_visit;
    for (std::size_t first = 0; first < faces.size(); ++first) {
        if (reached[first]) continue;
        reached[first] = true;
        shell.assign(1, first);
        to_visit.assign(1, first);
        while (!to_visit.empty()) {
            const std::size_t f = to_visit.back();
            to_visit.pop_back();
            const std::size_t n = winding.size(f);
            for (std::size_t i = 0; i < n; ++i) {
                const auto pair = along.corners_of_edge(along.edge_of(faces.offsets()[f] + winding.given_edge(f, i)));
                if (pair.size() != 2) continue;
                const std::size_t other = along.face_of(pair[1]) == f ? along.face_of(pair[0]) : along.face_of(pair[1]);
                if (reached[other]) continue;
                // Faces wound alike run along a shared edge in opposite directions.
                const std::uint64_t a = winding.corner(f, i), b = winding.corner(f, i + 1 == n ? 0 : i + 1);
                if (winding.runs(other, a, b)) winding.turn(other);
                reached[other] = true;
                shell.push_back(other);
                to_visit.push_back(other);
            }
        }
        if (shell_volume(mesh.vertices, winding, shell) < 0.0) {
            for (const std::size_t f : shell) winding.turn(f);
        }
    }
    return build_mesh(mesh.vertices, winding.wound());
}

}  // namespace velmarin
