// Making equal vertices one, winding faces out and merging coplanar faces,
// on any mesh: the error validate() gives for a broken one, otherwise valid
// meshes with every vertex's point kept, every face kept or reversed, and no
// more faces merged than there were. A box in triangles of any winding
// faces out once wound, and on the grid becomes its six sides. Then the
// merged faces' normals (unit length or none) and a selection of them (an
// index error just when a position is past them).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/fault.hpp"
#include "decode.hpp"
#include "geometry/clean.hpp"
#include "geometry/coplanar_faces.hpp"
#include "geometry/face_normal.hpp"
#include "geometry/orient.hpp"
#include "geometry/vector_ops.hpp"

using namespace velmarin;

namespace {

// Only what validate() refuses, and as it refuses it.
template <class T>
bool refused_as_validate_does(const Result<T>& result, const Mesh& mesh) {
    const Result<void> valid = validate(mesh);
    check(result.ok() == valid.ok(), "a face operation and validate() disagree on a mesh");
    if (result.ok()) return false;
    check(result.error().kind == valid.error().kind && result.error().text == valid.error().text,
          "a face operation failed otherwise than validate()");
    return true;
}

void check_merged_vertices(const Mesh& mesh, const Mesh& merged) {
    check(validate(merged).ok() && merged.faces.size() == mesh.faces.size(), "merging vertices lost a face");
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        check(merged.faces[f].size() == mesh.faces[f].size(), "merging vertices changed a face's length");
        for (std::size_t i = 0; i < mesh.faces[f].size(); ++i) {
            const Vector3D& was = mesh.vertices[mesh.faces[f][i]];
            const Vector3D& is = merged.vertices[merged.faces[f][i]];
            check((was.x == is.x || fuzz::same(was.x, is.x)) && (was.y == is.y || fuzz::same(was.y, is.y)) &&
                      (was.z == is.z || fuzz::same(was.z, is.z)),
                  "merging vertices moved a corner");
        }
    }
}

void check_wound(const Mesh& mesh, const Mesh& wound) {
    check(validate(wound).ok() && wound.faces.size() == mesh.faces.size(), "winding lost a face");
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        const Face was = mesh.faces[f], is = wound.faces[f];
        check(std::equal(was.begin(), was.end(), is.begin(), is.end()) ||
                  std::equal(was.begin(), was.end(), is.rbegin(), is.rend()),
              "winding changed a face otherwise than by reversing it");
    }
}

void check_normals_and_selection(const Mesh& mesh, fuzz::Bytes& bytes) {
    const std::vector<Vector3D> normals = face_normals(mesh);
    check(normals.size() == mesh.faces.size(), "not one normal a face");
    for (std::size_t f = 0; f < normals.size(); ++f) {
        const Vector3D& n = normals[f];
        // Below that the squares of the sum's components lose their digits.
        const bool exact = length(newell_normal(mesh, mesh.faces[f])) > 1e-150;
        check(std::isnan(n.x) ? std::isnan(n.y) && std::isnan(n.z) : !exact || std::fabs(length(n) - 1.0) < 1e-9,
              "a face normal is neither unit length nor none");
    }
    std::vector<std::uint64_t> positions(bytes.count(8));
    for (std::uint64_t& p : positions) p = bytes.count(mesh.faces.size() + 1);
    const Result<Mesh> selected = select_faces(mesh, positions);
    const bool past =
        std::any_of(positions.begin(), positions.end(), [&](std::uint64_t p) { return p >= mesh.faces.size(); });
    check(selected.ok() != past, "selecting faces failed otherwise than on a position past them");
    if (!selected.ok()) return;
    check(selected.value().faces.size() == positions.size(), "selecting faces did not give a face a position");
    for (std::size_t k = 0; k < positions.size(); ++k) {
        const Face was = mesh.faces[positions[k]], is = selected.value().faces[k];
        check(std::equal(was.begin(), was.end(), is.begin(), is.end()), "selecting faces changed a face");
    }
}

// Six times the volume, from the origin.
double volume(const Mesh& mesh) {
    double total = 0.0;
    for (const Face face : mesh.faces) {
        for (std::size_t i = 1; i + 1 < face.size(); ++i) {
            total += dot(mesh.vertices[face[0]], cross(mesh.vertices[face[i]], mesh.vertices[face[i + 1]]));
        }
    }
    return total;
}

// A box's sides split along either diagonal, each triangle wound either way.
Mesh box_in_triangles(fuzz::Bytes& bytes) {
    Mesh box = bytes.box();
    Mesh triangles{box.vertices, {}};
    for (const Face q : box.faces) {
        const std::uint8_t choice = bytes.byte();
        const bool other_diagonal = choice & 1;
        std::vector<std::vector<std::uint64_t>> halves =
            other_diagonal ? std::vector<std::vector<std::uint64_t>>{{q[0], q[1], q[3]}, {q[1], q[2], q[3]}}
                           : std::vector<std::vector<std::uint64_t>>{{q[0], q[1], q[2]}, {q[0], q[2], q[3]}};
        for (std::size_t k = 0; k < 2; ++k) {
            if (choice & (2 << k)) std::reverse(halves[k].begin(), halves[k].end());
            triangles.faces.push_back(halves[k]);
        }
    }
    return triangles;
}

// Corners on the grid and sides of some length: every product above is exact.
bool exact_box(const Mesh& box) {
    const Vector3D& low = box.vertices.front();
    const Vector3D& high = box.vertices.back();
    const auto on_grid = [](double c) { return c > -64 && c < 64 && c == static_cast<int>(c * 4) / 4.0; };
    for (const Vector3D& v : box.vertices) {
        if (!on_grid(v.x) || !on_grid(v.y) || !on_grid(v.z)) return false;
    }
    return low.x != high.x && low.y != high.y && low.z != high.z;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Bytes bytes(data, size);
    CoplanarTolerance tolerance;
    if (bytes.byte() % 2) tolerance = {bytes.tolerance(), bytes.tolerance()};
    const bool box = bytes.byte() % 4 == 0;
    const Mesh mesh =
        box ? box_in_triangles(bytes) : bytes.mesh(fuzz::Faces::Any, {.vertices = 16, .faces = 16, .corners = 4});

    const Result<Mesh> merged_vertices = merge_equal_vertices(mesh);
    if (refused_as_validate_does(merged_vertices, mesh)) {
        check(refused_as_validate_does(orient_outward(mesh), mesh), "winding took a mesh that validate() refuses");
        check(refused_as_validate_does(merge_coplanar_faces(mesh, tolerance), mesh),
              "merging took a mesh that validate() refuses");
        return 0;
    }
    check_merged_vertices(mesh, merged_vertices.value());
    const Result<Mesh> wound = orient_outward(merged_vertices.value());
    check(wound.ok(), "winding refused a valid mesh");
    check_wound(merged_vertices.value(), wound.value());
    const Result<Mesh> merged = merge_coplanar_faces(wound.value(), tolerance);
    check(merged.ok() && validate(merged.value()).ok(), "merging faces refused a valid mesh or made an invalid one");
    check(merged.value().faces.size() <= mesh.faces.size(), "merging faces added faces");
    check_normals_and_selection(merged.value(), bytes);
    if (box && exact_box(mesh)) {
        check(volume(wound.value()) > 0.0, "a box does not face out once wound");
        if (1.0 - tolerance.normal < 1.0 && tolerance.normal < 1.0 && tolerance.offset > 0.0) {
            check(merged.value().faces.size() == 6, "a box's triangles did not merge into its six sides");
        }
    }
    return 0;
}
