// The IFC text reader on any text: it returns a valid mesh or an error value
// and never faults, however broken the records.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/fault.hpp"
#include "ifc/reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const velmarin::Result<velmarin::Mesh> mesh = velmarin::ifc::read_points_and_loops(text);
    if (mesh.ok()) velmarin::check(velmarin::validate(mesh.value()).ok(), "the reader made an invalid mesh");
    return 0;
}
