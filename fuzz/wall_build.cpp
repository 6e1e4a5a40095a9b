// The graph build across walls on small random buildings: a value error
// for a bad wall or slab thickness and nothing else, never a fault, and the
// indexed search agreeing with the literal one (build_check.hpp).
#include <cstddef>
#include <cstdint>

#include "build_check.hpp"
#include "registry/graph_build.hpp"

using namespace velmarin;

namespace {

Result<GraphRecords> build(const fuzz::BuildCase& input, Search search) {
    return build_graph_with_walls(input.building, input.tolerance, input.wall_thickness, input.slab_thickness, search);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::BuildCase input = fuzz::build_case(data, size);
    const Result<GraphRecords> indexed = build(input, Search::Indexed);
    const Result<GraphRecords> literal = build(input, Search::Literal);
    check(indexed.ok() == literal.ok(), "the two searches disagree on the thickness");
    if (!indexed.ok()) {
        check(indexed.error().kind == ErrorKind::Value, "the walls build failed with other than a value error");
        return 0;
    }
    fuzz::check_agreement(input, indexed.value(), literal.value());
    return 0;
}
