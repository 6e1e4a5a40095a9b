// The polygon mesh record and the one routine that assembles a valid one.
//
// A valid mesh has faces of at least three indices, each below the vertex
// count. Meshes are never changed after they are built: operations derive
// new ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <span>
#include <vector>

#include "core/error.hpp"
#include "core/huge_pages.hpp"
#include "geometry/vector.hpp"

namespace velmarin {

// One face: its corner indices, a view into its mesh's run of indices.
using Face = std::span<const std::uint64_t>;

// All faces of a mesh in two runs: every corner index, face after face, and
// where each face starts. A mesh of a million triangles is then two
// allocations, not a million, and is read front to back.
class FaceList {
public:
    class iterator;

    FaceList() = default;
    // Faces from their two runs, as indices() and offsets() give them: the
    // offsets start at 0, never decrease and end at indices.size().
    FaceList(std::vector<std::uint64_t, HugePageAllocator<std::uint64_t>> indices,
             std::vector<std::size_t, HugePageAllocator<std::size_t>> offsets);

    std::size_t size() const { return offsets_.size() - 1; }
    bool empty() const { return size() == 0; }
    Face operator[](std::size_t i) const { return {indices_.data() + offsets_[i], offsets_[i + 1] - offsets_[i]}; }
    iterator begin() const;
    iterator end() const;

    // Element by element: faces are short, and a range insert would be a
    // call to memmove per face.
    void push_back(Face corners) {
        for (const std::uint64_t k : corners) indices_.push_back(k);
        offsets_.push_back(indices_.size());
    }
    void push_back(std::initializer_list<std::uint64_t> corners) { push_back(Face(corners.begin(), corners.size())); }
    void reserve(std::size_t faces, std::size_t corners) {
        offsets_.reserve(faces + 1);
        indices_.reserve(corners);
    }

    // Every corner, face after face.
    std::span<const std::uint64_t> indices() const { return indices_; }
    // Where each face starts in indices(), then where the last one ends:
    // size() + 1 values, the first 0.
    std::span<const std::size_t> offsets() const { return offsets_; }

    bool operator==(const FaceList&) const = default;

private:
    // Large meshes' runs sit on huge pages: welding and slicing read and
    // write them far faster than the TLB can follow on small pages.
    std::vector<std::uint64_t, HugePageAllocator<std::uint64_t>> indices_;
    std::vector<std::size_t, HugePageAllocator<std::size_t>> offsets_{0};
};

// Walks the offsets; a face is made when it is read.
class FaceList::iterator {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Face;
    using difference_type = std::ptrdiff_t;
    using reference = Face;
    using pointer = void;

    iterator() = default;
    iterator(const std::uint64_t* indices, const std::size_t* offset) : indices_(indices), offset_(offset) {}

    Face operator*() const { return {indices_ + offset_[0], offset_[1] - offset_[0]}; }
    Face operator[](difference_type n) const { return *(*this + n); }
    iterator& operator++() { return ++offset_, *this; }
    iterator operator++(int) { return {indices_, offset_++}; }
    iterator& operator--() { return --offset_, *this; }
    iterator operator--(int) { return {indices_, offset_--}; }
    iterator& operator+=(difference_type n) { return offset_ += n, *this; }
    iterator& operator-=(difference_type n) { return offset_ -= n, *this; }
    friend iterator operator+(iterator it, difference_type n) { return it += n; }
    friend iterator operator+(difference_type n, iterator it) { return it += n; }
    friend iterator operator-(iterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const iterator& a, const iterator& b) { return a.offset_ - b.offset_; }
    friend bool operator==(const iterator& a, const iterator& b) { return a.offset_ == b.offset_; }
    friend auto operator<=>(const iterator& a, const iterator& b) { return a.offset_ <=> b.offset_; }

private:
    const std::uint64_t* indices_ = nullptr;
    const std::size_t* offset_ = nullptr;
};

inline FaceList::iterator FaceList::begin() const { return {indices_.data(), offsets_.data()}; }
inline FaceList::iterator FaceList::end() const { return {indices_.data(), offsets_.data() + size()}; }

struct Mesh {
    std::vector<Vector3D> vertices;
    FaceList faces;
};

// The first face that breaks the rule decides the error.
Result<void> validate(const Mesh& mesh);

Result<Mesh> build_mesh(std::vector<Vector3D> vertices, FaceList faces);

// The faces at `positions`, in that order (a position may come more than
// once), with all the vertices. Fails with an index error on a position
// past the faces.
Result<Mesh> select_faces(const Mesh& mesh, std::span<const std::uint64_t> positions);

// The mean of the vertex positions (NaN components for an empty mesh): sums
// left to right in list order, then one division per component.
Vector3D vertex_mean(const Mesh& mesh);

}  // namespace velmarin
