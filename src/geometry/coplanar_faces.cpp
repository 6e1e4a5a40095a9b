#include "geometry/coplanar_faces.hpp"

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
    std::vector<std::size_t> faces;     // group after group, each ascending
    std::vector<std::size_t> starts;    // where each group starts in faces, then the end
    std::vector<std::size_t> group_of;  // by face
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
    Members members{std::vector<std::size_t>(count), std::vector<std::size_t>(sizes.size() + 1, 0), {}};
    for (std::size_t g = 0; g < sizes.size(); ++g) members.starts[g + 1] = members.starts[g] + sizes[g];
    std::vector<std::size_t> next(members.starts.begin(), members.starts.end() - 1);
    for (std::size_t k = 0; k < count; ++k) members.faces[next[group_of[k]]++] = k;
    members.group_of = std::move(group_of);
    return members;
}

// Traces the outlines of groups, one after another in the same buffers.
class Outliner {
public:
    Outliner(const FaceList& faces, const EdgeFaces& along, const std::vector<std::size_t>& group_of,
             std::size_t vertex_count)
        : faces_(faces), along_(along), group_of_(group_of), following_(vertex_count, none) {}

    // The one loop of the group's edges that no other face of it runs back
    // along, or nothing when they do not form one: when the group runs an
    // edge twice one way, or the loop touches itself or is not the only one.
    std::span<const std::uint64_t> outline(std::span<const std::size_t> group) {
        border_.clear();
        loop_.clear();
        bool simple = true;
        const std::span<const std::uint64_t> index = faces_.indices();
        for (const std::size_t f : group) {
            for (std::size_t k = faces_.offsets()[f]; k < faces_.offsets()[f + 1]; ++k) {
                const std::uint64_t a = index[k], b = index[along_.next_corner(faces_, k)];
                bool back = a == b;  // an edge from a corner to itself is its own way back
                for (const std::size_t other : along_.corners_of_edge(along_.edge_of(k))) {
                    if (other == k || group_of_[along_.face_of(other)] != group_of_[f]) continue;
                    if (index[other] == a) simple = false;  // the same way again
                    back = true;
                }
                if (!back) border_.push_back(k);
            }
        }
        if (simple && !border_.empty()) simple = trace(index);
        for (const std::size_t k : border_) following_[index[k]] = none;
        if (!simple || loop_.size() != border_.size() || loop_.size() < 3) return {};
        return loop_;
    }

private:
    static constexpr std::uint64_t none = std::numeric_limits<std::uint64_t>::max();

    // Follows the border from the start of its first edge; false when two
    // of its edges leave one corner.
    bool trace(std::span<const std::uint64_t> index) {
        for (const std::size_t k : border_) {
            std::uint64_t& next = following_[index[k]];
            if (next != none) return false;
            next = index[along_.next_corner(faces_, k)];
        }
        const std::uint64_t start = index[border_.front()];
        loop_.push_back(start);
        std::uint64_t at = following_[start];
        while (at != start && loop_.size() <= border_.size()) {
            loop_.push_back(at);
            at = following_[at] != none ? following_[at] : start;
        }
        return true;
    }

    const FaceList& faces_;
    const EdgeFaces& along_;
    const std::vector<std::size_t>& group_of_;
    std::vector<std::uint64_t> following_;  // by corner: the end of the border edge leaving it
    std::vector<std::size_t> border_;       // the border's edges, by corner, in face order
    std::vector<std::uint64_t> loop_;
};

}  // namespace

Result<Mesh> merge_coplanar_faces(const Mesh& mesh, CoplanarTolerance tolerance) {
    if (auto status = validate(mesh); !status.ok()) return status.error();
    const FaceList& faces = mesh.faces;
    std::vector<std::optional<Plane>> planes;
    planes.reserve(faces.size());
    for (const Face face : faces) planes.push_back(plane_of(mesh, face));

    const EdgeFaces along(mesh);
    Groups groups(faces.size());
    for (std::size_t e = 0; e < along.edge_count(); ++e) {
        const auto sharing = along.corners_of_edge(e);
        const std::size_t first = along.face_of(sharing[0]);
        for (std::size_t k = 1; k < sharing.size(); ++k) {
            const std::size_t other = along.face_of(sharing[k]);
            if (coplanar(planes[first], planes[other], tolerance)) groups.join(other, first);
        }
    }

    const Members members = members_of(groups, faces.size());
    FaceList merged;
    merged.reserve(faces.size(), faces.indices().size());
    Outliner outliner(faces, along, members.group_of, mesh.vertices.size());
    for (std::size_t g = 0; g + 1 < members.starts.size(); ++g) {
        const std::span<const std::size_t> group(members.faces.data() + members.starts[g],
                                                 members.starts[g + 1] - members.starts[g]);
        const std::span<const std::uint64_t> loop =
            group.size() > 1 ? outliner.outline(group) : std::span<const std::uint64_t>{};
        if (!loop.empty()) {
            merged.push_back(loop);
        } else {
            for (const std::size_t f : group) merged.push_back(faces[f]);
        }
    }
    return build_mesh(mesh.vertices, std::move(merged));
}

}  // namespace velmarin
