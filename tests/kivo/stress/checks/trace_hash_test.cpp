#include <gtest/gtest.h>

#include "kivo/stress/checks.hpp"
#include "kivo/stress/checks/siphash.hpp"

namespace kivo::stress::checks {
namespace {

OperationTraceItem item(std::uint64_t index, StressOperation::Copy copy, ExpectedOutcome expected,
                        std::string outcome) {
  return {index, {std::move(copy)}, std::move(expected), std::move(outcome)};
}

OperationTraceItem item(std::uint64_t index, StressOperation::InputMask mask,
                        ExpectedOutcome expected, std::string outcome) {
  return {index, {std::move(mask)}, std::move(expected), std::move(outcome)};
}

const ExpectedOutcome kSuccess{ExpectedOutcome::Success{}};
const ExpectedOutcome kAny{ExpectedOutcome::Any{}};
ExpectedOutcome error_contains(std::string fragment) {
  return {ExpectedOutcome::ErrorContains{std::move(fragment)}};
}

// Expected values were computed with an independent SipHash-1-3 over the documented encoding.
TEST(TraceHash, KnownVectors) {
  EXPECT_EQ(trace_hash({}), "d1fba762150c532c");
  EXPECT_EQ(trace_hash({item(0, StressOperation::InputMask{"a", "b", false}, kSuccess, "success")}),
            "cdce1ca755aa7a86");
}

TEST(TraceHash, CoversBothKindsAndAllExpectations) {
  const auto copy_full = item(3, StressOperation::Copy{"slice", "12", "5", "7"},
                              error_contains("Target screen"), "error:Target screen not found");
  const auto copy_bare =
      item(1, StressOperation::Copy{"screen", "9", std::nullopt, std::nullopt}, kAny, "success");
  const auto mask_overwrite = item(2, StressOperation::InputMask{"s1", "t1", true},
                                   error_contains(""), "error:Validation failed: x");
  const auto copy_utf8 = item(0, StressOperation::Copy{"mask", "\xc3\xa9", std::nullopt, "42"},
                              kSuccess, "invariant:New duplicate uniqueId values introduced: 3, 4");

  EXPECT_EQ(trace_hash({copy_full}), "c2e6e69596fd9a30");
  EXPECT_EQ(trace_hash({copy_bare}), "51d3e9b1a6ac3b4c");
  EXPECT_EQ(trace_hash({mask_overwrite}), "566c891d011d380a");
  EXPECT_EQ(trace_hash({copy_utf8}), "fa60e6d092bdf87b");
  EXPECT_EQ(trace_hash({copy_bare, mask_overwrite, copy_full}), "477a4c6a35330e2a");
}

TEST(TraceHash, AbsentAndEmptyOptionalTextsDiffer) {
  const auto absent =
      item(0, StressOperation::Copy{"slice", "1", std::nullopt, std::nullopt}, kSuccess, "success");
  const auto empty =
      item(0, StressOperation::Copy{"slice", "1", "", std::nullopt}, kSuccess, "success");
  EXPECT_NE(trace_hash({absent}), trace_hash({empty}));
}

TEST(SipHash13, StreamingMatchesOneShotAcrossBlockBoundaries) {
  const std::string data = "0123456789abcdefghijklmnopqrstuvwxyz";
  SipHash13 whole(0, 0);
  whole.write(data);
  for (std::size_t split = 0; split <= data.size(); ++split) {
    SipHash13 parts(0, 0);
    parts.write(std::string_view(data).substr(0, split));
    parts.write(std::string_view(data).substr(split));
    EXPECT_EQ(parts.finish(), whole.finish()) << split;
  }
}

}  // namespace
}  // namespace kivo::stress::checks
