#include "ifc/reader.hpp"

namespace velmarin::ifc {

void PointsAndLoopsReader::read(std::string_view piece) {
    scanner_.scan(piece);
    read_length_ += piece.size();
    // From a sixteenth of the text on, what it holds so far is taken to
    // tell what the whole holds.
    if (expected_length_ > read_length_ && read_length_ >= expected_length_ / 16) {
        mesh_.expect_growth(static_cast<double>(expected_length_) / static_cast<double>(read_length_));
    }
}

Result<Mesh> PointsAndLoopsReader::finish() && {
    scanner_.finish();
    return std::move(mesh_).finish();
}

Result<Mesh> read_points_and_loops(std::string_view text) {
    PointsAndLoopsReader reader;
    reader.read(text);
    return std::move(reader).finish();
}

}  // namespace velmarin::ifc
