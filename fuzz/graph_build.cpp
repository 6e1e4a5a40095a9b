// The graph build on small random buildings: it never faults, and the
// indexed search finds what the literal one does (build_check.hpp).
#include <cstddef>
#include <cstdint>

#include "build_check.hpp"
#include "registry/graph_build.hpp"

using namespace velmarin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::BuildCase input = fuzz::build_case(data, size);
    fuzz::check_agreement(input, build_graph(input.building, input.tolerance, Search::Indexed),
                          build_graph(input.building, input.tolerance, Search::Literal));
    return 0;
}
