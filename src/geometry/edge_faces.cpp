#include "geometry/edge_faces.hpp"

#include <algorithm>
#include <cstdint>

namespace velmarin {

namespace {

// Buckets this small are sorted by insertion; a vertex that many faces meet
// (the centre of a fan) by the library sort.
constexpr std::size_t small_bucket = 32;

}  // namespace

// The corners are bucketed by their edge's lower end (a counting sort, in
// corner order), and each bucket sorted by the higher end, keeping corner
// order among equals: vertices meet few edges, so the buckets are short.
EdgeFaces::EdgeFaces(const Mesh& mesh) {
    const FaceList& faces = mesh.faces;
    const std::size_t corners = faces.indices().size();
    std::vector<std::uint64_t> higher(corners);
    std::vector<std::size_t> bucket_start(mesh.vertices.size() + 1, 0);
    face_of_corner_.resize(corners);
    for (std::size_t f = 0, k = 0; f < faces.size(); ++f) {
        const Face face = faces[f];
        for (std::size_t i = 0; i < face.size(); ++i, ++k) {
            const std::uint64_t a = face[i], b = face[i + 1 == face.size() ? 0 : i + 1];
            higher[k] = std::max(a, b);
            face_of_corner_[k] = f;
            ++bucket_start[std::min(a, b) + 1];
        }
    }
    for (std::size_t v = 0; v < mesh.vertices.size(); ++v) bucket_start[v + 1] += bucket_start[v];
    corners_.resize(corners);
    std::vector<std::size_t> next(bucket_start.begin(), bucket_start.end() - 1);
    for (std::size_t f = 0, k = 0; f < faces.size(); ++f) {
        const Face face = faces[f];
        for (std::size_t i = 0; i < face.size(); ++i, ++k) {
            corners_[next[std::min(face[i], face[i + 1 == face.size() ? 0 : i + 1])]++] = k;
        }
    }
    const auto by_higher_end = [&](std::size_t p, std::size_t q) { return higher[p] < higher[q]; };
    for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
        const auto first = corners_.begin() + static_cast<std::ptrdiff_t>(bucket_start[v]);
        const auto last = corners_.begin() + static_cast<std::ptrdiff_t>(bucket_start[v + 1]);
        if (last - first > static_cast<std::ptrdiff_t>(small_bucket)) {
            std::stable_sort(first, last, by_higher_end);
            continue;
        }
        for (auto it = first + (first != last); it < last; ++it) {
            const std::size_t k = *it;
            auto hole = it;
            for (; hole != first && by_higher_end(k, *(hole - 1)); --hole) *hole = *(hole - 1);
            *hole = k;
        }
    }
    edge_of_corner_.resize(corners);
    starts_.reserve(corners + 1);
    for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
        for (std::size_t p = bucket_start[v]; p < bucket_start[v + 1]; ++p) {
            const std::size_t k = corners_[p];
            if (p == bucket_start[v] || higher[k] != higher[corners_[p - 1]]) starts_.push_back(p);
            edge_of_corner_[k] = starts_.size() - 1;
        }
    }
    starts_.push_back(corners);
}

}  // namespace velmarin
