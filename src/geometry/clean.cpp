#include "geometry/clean.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>

#include "core/rounding.hpp"
#include "geometry/cell_map.hpp"

namespace velmarin {

namespace {

// How far ahead `clean` requests the memory it will read, in elements: on
// large meshes every read not requested early misses the cache. Each was
// timed against no prefetch on the soup of 1,000,000 triangles (3,000,000
// vertices) that bench/bench_mesh.py cleans.
constexpr std::size_t slots_ahead = 16;      // the weld map's slots, so that their misses overlap
constexpr std::size_t vertices_ahead = 256;  // the input vertices, further ahead than their slots
constexpr std::size_t offsets_ahead = 256;   // the face pass's offsets
constexpr std::size_t indices_ahead = 512;   // the face pass's indices

// The division is done as written (no reciprocal): keys must not depend on
// how the compiler would like to rearrange it. Inlined so that the key is
// built where the ring keeps it, not returned through memory. `quick` is
// can_round_small(), asked once.
[[gnu::always_inline]] inline CellKey cell_key(const Vector3D& v, double tolerance, bool quick) {
#if defined(__SSE2__)
    // x and y side by side, z with a zero beside it.
    const __m128d divisor = _mm_set1_pd(tolerance);
    __m128i xy, z;
    const bool xy_small = round_small(_mm_div_pd(_mm_loadu_pd(&v.x), divisor), xy);
    const bool z_small = round_small(_mm_div_pd(_mm_load_sd(&v.z), divisor), z);
    if (quick && xy_small && z_small) [[likely]] {
        return {_mm_cvtsi128_si64(xy), _mm_cvtsi128_si64(_mm_unpackhi_epi64(xy, xy)), _mm_cvtsi128_si64(z)};
    }
#else
    (void)quick;
#endif
    return {round_saturating(v.x / tolerance), round_saturating(v.y / tolerance), round_saturating(v.z / tolerance)};
}

// Each input vertex's position in the welded list. Remembering it per vertex
// spares the face pass a second hash lookup per corner: it would find the
// same entry, since a vertex's key never changes.
// Cells are numbered in 32 bits (CellMap checks), which halves this array.
std::vector<std::uint32_t, HugePageAllocator<std::uint32_t>> weld_vertices(const std::vector<Vector3D>& input,
                                                                           double tolerance,
                                                                           std::vector<Vector3D>& welded) {
    // Welding usually merges many vertices; the map grows if it merges few.
    CellMap cells(input.size() / 4);
    std::vector<std::uint32_t, HugePageAllocator<std::uint32_t>> welded_index;
    welded_index.reserve(input.size());
    welded.reserve(input.size() / 4);
    advise_huge_pages(welded.data(), welded.capacity() * sizeof(Vector3D));
    const bool quick = can_round_small();
    // Lookups miss the cache on large meshes: the slot of a vertex some
    // places ahead is requested early, so that several misses overlap. The
    // keys computed for that wait in a ring until their vertex comes up.
    std::array<CellMap::Lookup, slots_ahead> upcoming;
    const std::size_t count = input.size();
    for (std::size_t i = 0; i < std::min(slots_ahead, count); ++i) {
        upcoming[i] = cells.start_lookup(cell_key(input[i], tolerance, quick));
    }
    std::uint64_t new_cell = 0;  // the number the next new cell gets
    for (std::size_t i = 0; i < count; ++i) {
        const CellMap::Lookup lookup = upcoming[i % slots_ahead];
        if (i + slots_ahead < count) {
            upcoming[i % slots_ahead] = cells.start_lookup(cell_key(input[i + slots_ahead], tolerance, quick));
        }
        // Reading the vertices in order stalls too on large meshes, though
        // less: they are requested further ahead than their slots.
        __builtin_prefetch(&input[std::min(i + vertices_ahead, count - 1)]);
        const std::uint64_t cell = lookup.packs() ? cells.find_or_insert(lookup)
                                                  : cells.find_or_insert_whole(cell_key(input[i], tolerance, quick));
        if (cell == new_cell) {  // the first vertex of a new cell
            welded.push_back(input[i]);
            ++new_cell;
        }
        welded_index.push_back(static_cast<std::uint32_t>(cell));
    }
    return welded_index;
}

// Adjacent corners already differ, so one look at the first and last corner
// settles whether the face closes on itself.
bool keep_face(std::vector<std::uint64_t>& corners) {
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
    const auto welded_index = weld_vertices(mesh.vertices, tolerance, vertices);
    const std::size_t vertex_count = welded_index.size();

    FaceList faces;
    faces.reserve(mesh.faces.size(), mesh.faces.indices().size());
    std::vector<std::uint64_t> corners;
    // The face runs are read in order; on large meshes that stalls unless
    // they are requested some way ahead.
    const std::span<const std::size_t> offsets = mesh.faces.offsets();
    const std::span<const std::uint64_t> indices = mesh.faces.indices();
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        const Face face = mesh.faces[f];
        __builtin_prefetch(&offsets[std::min(f + offsets_ahead, offsets.size() - 1)]);
        if (!indices.empty()) {
            __builtin_prefetch(&indices[std::min(offsets[f] + indices_ahead, indices.size() - 1)]);
        }
        // Most faces are triangles, and a triangle survives only with three
        // different corners.
        if (face.size() == 3 && face[0] < vertex_count && face[1] < vertex_count && face[2] < vertex_count) {
            const std::uint64_t a = welded_index[face[0]], b = welded_index[face[1]], c = welded_index[face[2]];
            if (a != b && b != c && c != a) faces.push_back({a, b, c});
            continue;
        }
        corners.clear();
        for (const std::uint64_t index : face) {
            if (index >= vertex_count) {
                return index_error("Face " + std::to_string(f) + " references invalid index.");
            }
            const std::uint64_t welded = welded_index[index];
            if (corners.empty() || corners.back() != welded) corners.push_back(welded);
        }
        if (keep_face(corners)) faces.push_back(corners);
    }
    return Mesh{std::move(vertices), std::move(faces)};
}

Result<Mesh> merge_equal_vertices(const Mesh& mesh) {
    if (auto status = validate(mesh); !status.ok()) return status.error();
    // Welding with each coordinate's bits as its cell: adding 0.0 makes -0.0
    // the 0.0 it equals. A NaN would equal a NaN of the same bits there, so
    // those vertices stay out of the map.
    const auto bits = [](double c) { return std::bit_cast<std::int64_t>(c + 0.0); };
    CellMap cells(0);
    std::vector<std::uint64_t> kept_of_cell, kept_of(mesh.vertices.size());
    std::vector<Vector3D> vertices;
    for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
        const Vector3D& v = mesh.vertices[i];
        if (std::isnan(v.x) || std::isnan(v.y) || std::isnan(v.z)) {
            kept_of[i] = vertices.size();
            vertices.push_back(v);
            continue;
        }
        const std::uint64_t cell = cells.find_or_insert_whole({bits(v.x), bits(v.y), bits(v.z)});
        if (cell == kept_of_cell.size()) {
            kept_of_cell.push_back(vertices.size());
            vertices.push_back(v);
        }
        kept_of[i] = kept_of_cell[cell];
    }
    std::vector<std::uint64_t, HugePageAllocator<std::uint64_t>> indices;
    indices.reserve(mesh.faces.indices().size());
    for (const std::uint64_t k : mesh.faces.indices()) indices.push_back(kept_of[k]);
    const std::span<const std::size_t> offsets = mesh.faces.offsets();
    return build_mesh(std::move(vertices), FaceList(std::move(indices), {offsets.begin(), offsets.end()}));
}

}  // namespace velmarin
