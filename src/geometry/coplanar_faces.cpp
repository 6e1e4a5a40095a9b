#include "geometry/coplanar_faces.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "geometry/edge_faces.hpp"
#include "geometry/face_normal.hpp"
#include "geometry/vector_ops.hpp"

namespace velmarin {

namespace {

struct Plane {
    Vector3D unit_normal;
    double offset;
};

std::optional<Plane> plane_of(const Mesh& mesh, Face face) {
    const Vector3D& a = mesh.vertices[face[0]];
    const std::optional<Vector3D> unit =
        unit_length(face.size() == 3 ? cross(minus(mesh.vertices[face[1]], a), minus(mesh.vertices[face[2]], a))
                                     : newell_normal(mesh, face));
    if (!unit) return std::nullopt;
    return Plane{*unit, dot(*unit, a)};
}

bool coplanar(const std::optional<Plane>& p, const std::optional<Plane>& q, CoplanarTolerance tolerance) {
    return p && q && dot(p->unit_normal, q->unit_normal) > 1.0 - tolerance.normal &&
           std::abs(p->offset - q->offset) < tolerance.offset;
}

// Union-find over faces.
class Groups {
public:
    explicit Groups(std::size_t count) : parent_(count) {
        for (std::size_t k = 0; k < count; ++k) parent_[k] = k;
    }

    std::size_t root(std::size_t k) {
        while (parent_[k] != k) {
            parent_[k] = parent_[parent_[k]];
            k = parent_[k];
        }
        return k;
    }

    void join(std::size_t a, std::size_t b) { parent_[root(a)] = root(b); }

private:
    std::vector<std::size_t> parent_;
};

// The faces of each group, groups in the order of their lowest faces.
struct Members {
    std::vector<std::size_t> faces;   // group after group, each ascending
    std::vector<std::size_t> starts;  // where each group starts in faces, then the end
};

Members members_of(Groups& groups, std::size_t count) {
    constexpr std::size_t none = std::numeric_limits<std::size_t>::max();
    std::vector<std::size_t> group_of_root(count, none), group_of(count);
    std::vector<std::size_t> sizes;
    for (std::size_t k = 0; k < count; ++k) {
        std::size_t& group = group_of_root[groups.root(k)];
        if (group == none) {
            group = sizes.size();
            sizes.push_back(0);
        }
        group_of[k] = group;
        ++sizes[group];
    }
    Members members{std::vector<std::size_t>(count), std::vector<std::size_t>(sizes.size() + 1, 0)};
    for (std::size_t g = 0; g < sizes.size(); ++g) members.starts[g + 1] = members.starts[g] + sizes[g];
    std::vector<std::size_t> next(members.starts.begin(), members.starts.end() - 1);
    for (std::size_t k = 0; k < count; ++k) members.faces[next[group_of[k]]++] = k;
    return members;
}

using Edge = std::pair<std::uint64_t, std::uint64_t>;

// The one loop of the edges that no other face of the group runs back
// along, or nothing when they do not form one.
std::vector<std::uint64_t> outline(const FaceList& faces, std::span<const std::size_t> group) {
    std::vector<Edge> directed;
    for (const std::size_t f : group) {
        const Face face = faces[f];
        for (std::size_t i = 0; i < face.size(); ++i) directed.emplace_back(face[i], face[i + 1 == face.size() ? 0 : i + 1]);
    }
    std::vector<Edge> sorted = directed;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) return {};  // an edge run twice one way
    std::vector<Edge> border;
    for (const auto& [a, b] : directed) {
        if (!std::binary_search(sorted.begin(), sorted.end(), Edge{b, a})) border.emplace_back(a, b);
    }
    if (border.empty()) return {};
    std::vector<Edge> leaving = border;  // by the corner they leave
    std::sort(leaving.begin(), leaving.end());
    const auto same_start = [](const Edge& p, const Edge& q) { return p.first == q.first; };
    if (std::adjacent_find(leaving.begin(), leaving.end(), same_start) != leaving.end()) return {};  // touches itself
    const std::uint64_t start = border.front().first;
    std::vector<std::uint64_t> loop{start};
    std::uint64_t at = border.front().second;
    while (at != start && loop.size() <= border.size()) {
        loop.push_back(at);
        const auto next = std::lower_bound(leaving.begin(), leaving.end(), Edge{at, 0});
        at = next != leaving.end() && next->first == at ? next->second : start;
    }
    if (loop.size() != border.size() || loop.size() < 3) return {};
    return loop;
}

}  // namespace

Result<Mesh> merge_coplanar_faces(const Mesh& mesh, CoplanarTolerance tolerance) {
    if (auto status = validate(mesh); !status.ok()) return status.error();
    const FaceList& faces = mesh.faces;
    std::vector<std::optional<Plane>> planes;
    planes.reserve(faces.size());
    for (const Face face : faces) planes.push_back(plane_of(mesh, face));

    const EdgeFaces along(faces);
    Groups groups(faces.size());
    for (std::size_t e = 0; e < along.edge_count(); ++e) {
        const auto sharing = along.faces_of_edge(e);
        for (std::size_t k = 1; k < sharing.size(); ++k) {
            if (coplanar(planes[sharing[0]], planes[sharing[k]], tolerance)) groups.join(sharing[k], sharing[0]);
        }
    }

    const Members members = members_of(groups, faces.size());
    FaceList merged;
    merged.reserve(faces.size(), faces.indices().size());
    for (std::size_t g = 0; g + 1 < members.starts.size(); ++g) {
        const std::span<const std::size_t> group(members.faces.data() + members.starts[g],
                                                 members.starts[g + 1] - members.starts[g]);
        const std::vector<std::uint64_t> loop = group.size() > 1 ? outline(faces, group) : std::vector<std::uint64_t>{};
        if (!loop.empty()) {
            merged.push_back(loop);
        } else {
            for (const std::size_t f : group) merged.push_back(faces[f]);
        }
    }
    return build_mesh(mesh.vertices, std::move(merged));
}

}  // namespace velmarin
