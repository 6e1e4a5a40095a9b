// Whether everything a record leads to reads plainly: the records its
// references reach, through any field, hold no loop, no reference to a
// record that is not there, no number long enough to be beyond what a
// building holds, and none of the references that other readers follow
// blindly, unless it leads to the kind it must.
//
// It answers for the records of an IFC model whether the checks a caller
// makes of the full model (of loops, references and numbers, with its
// schema at hand) could find anything there; where this finds nothing,
// they cannot. It is strict rather than exact: a model with a point placed
// on a national grid has a long number, and is doubted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ifc/step_records.hpp"

namespace velmarin::ifc {

class ReachableRecords {
public:
    // `metres`: the model's length unit, which sets what number is long.
    ReachableRecords(const StepRecords& records, double metres);

    // The first doubt about the records reachable from `root` (itself
    // included), as "#12=IFCTYPE: what", or None. Each record is looked at
    // once, whatever root it is reached from.
    std::optional<std::string> doubt(std::uint64_t root);

    // How many digits before its point make a number long in a model of
    // that unit: as many as the smaller of 10 km in it and 10^6 has (5 in
    // metres, 7 in millimetres); a unit that is not positive makes every one.
    static int long_digits(double metres);

private:
    // The record's own doubt, and the references it holds into `out`.
    std::optional<std::string> looked_at(std::uint64_t number, const StepRecord& record,
                                         std::vector<std::uint64_t>& out) const;
    std::optional<std::string> followed_kind(std::uint64_t number, const StepRecord& record) const;

    const StepRecords& records_;
    int digits_;
    enum class State : std::uint8_t { open, done };
    std::unordered_map<std::uint64_t, State> state_;  // records reached: on the walk's path, or done
};

}  // namespace velmarin::ifc
