#include "geometry/clean.hpp"

#include <boost/functional/hash.hpp>

#include <cstdint>
#include <string>
#include <unordered_map>

#include "core/rounding.hpp"

namespace velmarin {

namespace {

struct CellKey {
    std::int64_t x, y, z;
    bool operator==(const CellKey&) const = default;
};

struct CellKeyHash {
    std::size_t operator()(const CellKey& key) const noexcept {
        std::size_t seed = 0;
        boost::hash_combine(seed, key.x);
        boost::hash_combine(seed, key.y);
        boost::hash_combine(seed, key.z);
        return seed;
    }
};

// The division is done as written (no reciprocal): keys must not depend on
// how the compiler would like to rearrange it.
CellKey cell_key(const Vector3D& v, double tolerance) {
    return {round_saturating(v.x / tolerance), round_saturating(v.y / tolerance),
            round_saturating(v.z / tolerance)};
}

// Each input vertex's position in the welded list. Remembering it per vertex
// spares the face pass a second hash lookup per corner: it would find the
// same entry, since a vertex's key never changes.
std::vector<std::uint64_t> weld_vertices(const std::vector<Vector3D>& input, double tolerance,
                                         std::vector<Vector3D>& welded) {
    std::unordered_map<CellKey, std::uint64_t, CellKeyHash> representative;
    representative.reserve(input.size());
    std::vector<std::uint64_t> welded_index;
    welded_index.reserve(input.size());
    for (const Vector3D& v : input) {
        auto [entry, is_new] = representative.try_emplace(cell_key(v, tolerance), welded.size());
        if (is_new) welded.push_back(v);
        welded_index.push_back(entry->second);
    }
    return welded_index;
}

// Adjacent corners already differ, so one look at the first and last corner
// settles whether the face closes on itself.
bool keep_face(Face& corners) {
    if (corners.size() < 3) return false;
    if (corners.front() == corners.back()) {
        if (corners.size() == 3) return false;
        corners.pop_back();
    }
    return true;
}

}  // namespace

Result<Mesh> clean_mesh(const Mesh& mesh, double tolerance) {
    std::vector<Vector3D> vertices;
    const std::vector<std::uint64_t> welded_index = weld_vertices(mesh.vertices, tolerance, vertices);

    std::vector<Face> faces;
    faces.reserve(mesh.faces.size());
    Face corners;
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        corners.clear();
        for (std::uint64_t index : mesh.faces[f]) {
            if (index >= welded_index.size()) {
                return index_error("Face " + std::to_string(f) + " references invalid index.");
            }
            const std::uint64_t welded = welded_index[index];
            if (corners.empty() || corners.back() != welded) corners.push_back(welded);
        }
        if (keep_face(corners)) faces.push_back(corners);
    }
    return Mesh{std::move(vertices), std::move(faces)};
}

}  // namespace velmarin
