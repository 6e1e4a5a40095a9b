// The parallel runners against what running the tasks in order gives, and
// the failures they report.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/parallel_tasks.hpp"

using namespace velmarin;

namespace {

struct Failure : std::runtime_error {
    explicit Failure(std::size_t position) : std::runtime_error(std::to_string(position)), position(position) {}
    std::size_t position;
};

constexpr std::size_t none = static_cast<std::size_t>(-1);

// The position whose failure `run` rethrew, or `none` when it returned.
template <class Run>
std::size_t reported(const Run& run) {
    try {
        run();
    } catch (const Failure& f) {
        return f.position;
    }
    return none;
}

}  // namespace

TEST(ParallelTasks, ResultsByPosition) {
    for (std::size_t count : {0u, 1u, 7u, 10000u}) {
        const std::vector<std::size_t> squares =
            run_by_position<std::size_t>(count, [](std::size_t i) { return i * i; });
        ASSERT_EQ(squares.size(), count);
        for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(squares[i], i * i);
    }
}

TEST(ParallelTasks, LoneFailureIsReported) {
    for (std::size_t failing : {0u, 1u, 4999u, 9999u}) {
        const std::size_t position = reported([&] {
            run_by_position<int>(10000, [&](std::size_t i) {
                if (i == failing) throw Failure(i);
                return 0;
            });
        });
        EXPECT_EQ(position, failing);
    }
}

// Where several fail, a failure that ran is reported: never a position that
// did not fail, never none.
TEST(ParallelTasks, OneOfSeveralFailuresIsReported) {
    const std::size_t position = reported([] {
        run_by_position<int>(10000, [](std::size_t i) -> int {
            if (i % 1000 == 999) throw Failure(i);
            return 0;
        });
    });
    ASSERT_NE(position, none);
    EXPECT_EQ(position % 1000, 999u);
}

TEST(ParallelTasks, SideBySideAllRunAndTheFirstInOrderIsReported) {
    std::atomic<int> ran{0};
    auto fails = [&](std::size_t position) {
        return [&ran, position] {
            ++ran;
            throw Failure(position);
        };
    };
    auto succeeds = [&] { ++ran; };
    EXPECT_EQ(reported([&] { run_side_by_side(succeeds, fails(1), fails(2)); }), 1u);
    EXPECT_EQ(ran.load(), 3);
    EXPECT_EQ(reported([&] { run_side_by_side(fails(0), succeeds); }), 0u);
    EXPECT_EQ(reported([&] { run_side_by_side(succeeds, succeeds); }), none);
    EXPECT_EQ(ran.load(), 7);
}
