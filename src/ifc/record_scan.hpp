// The one scan over IFC text that finds the point and loop records, in text
// order. The text may arrive in consecutive pieces cut anywhere, even
// inside a line or a UTF-8 character.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/vector.hpp"

namespace velmarin::ifc {

// What the scan reports, record by record.
class RecordSink {
public:
    virtual void point(std::uint64_t entity, const Vector3D& position) = 0;
    // The entity numbers that a loop references, in its order.
    virtual void loop(std::span<const std::uint64_t> references) = 0;

protected:
    ~RecordSink() = default;
};

class RecordScanner {
public:
    explicit RecordScanner(RecordSink& sink) : sink_(sink) {}

    // The next piece of the text.
    void scan(std::string_view piece);
    // After the last piece: the line that it left open, if any.
    void finish();

private:
    void scan_line(std::string_view line);

    RecordSink& sink_;
    std::vector<std::uint64_t> references_;  // of the current loop
    std::string open_line_;  // the start of a line that the pieces so far left unfinished
};

}  // namespace velmarin::ifc
