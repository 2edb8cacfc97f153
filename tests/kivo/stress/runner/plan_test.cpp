#include <gtest/gtest.h>

#include "kivo/stress/runner.hpp"
#include "support/presets.hpp"
#include "support/rngs.hpp"

namespace {

using namespace kivo::test;

// Aspects 2.0 vs 1.48 differ by about 1.351, 1.35 vs 1.0 by exactly the limit 1.35.
TEST(PlanOperation, AspectMismatchOnlyBeyondTheLimit) {
  const auto with_slice = [](int width, bool masked) {
    std::vector<kivo::Element> parts{
        vertices("InputRect", {{"0", "0"}, {std::to_string(width), "100"}})};
    if (masked) parts.push_back(el("SliceMask", {}, {vertices("Rect", {{"1", "1"}, {"2", "2"}})}));
    return preset({screen("1", "S", {slice("s", "s", std::move(parts))})});
  };
  for (const auto& [from, onto, mismatch] :
       {std::tuple{200, 148, true}, {135, 100, false}, {100, 136, true}}) {
    ScriptedRng rng({.integers = {95, 0, 0}, .flags = {true}});
    const auto plan =
        kivo::stress::runner::plan_operation(with_slice(from, true), with_slice(onto, false), rng);
    const std::string expected =
        plan ? kivo::stress::runner::expectation_debug(plan->expected) : "nothing";
    EXPECT_EQ(expected.starts_with("ErrorContains("), mismatch) << from << " " << onto << expected;
  }
}

}  // namespace
