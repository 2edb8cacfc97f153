#include <gtest/gtest.h>

#include "kivo/stress/replay.hpp"

namespace kivo::stress::replay {
namespace {

const ExpectedOutcome kSuccess{ExpectedOutcome::Success{}};
const ExpectedOutcome kAny{ExpectedOutcome::Any{}};
ExpectedOutcome error_contains(std::string fragment) {
  return {ExpectedOutcome::ErrorContains{std::move(fragment)}};
}

TEST(IsFault, PanicAndInvariantOnly) {
  EXPECT_TRUE(is_fault("panic:unknown"));
  EXPECT_TRUE(is_fault("invariant:"));
  EXPECT_FALSE(is_fault("success"));
  EXPECT_FALSE(is_fault("error:panic:x"));
  EXPECT_FALSE(is_fault("Panic:x"));
}

TEST(Satisfies, JudgesEachExpectation) {
  struct Case {
    const char* outcome;
    ExpectedOutcome expected;
    bool satisfied;
  };
  const Case cases[] = {
      {"error:Target screen not found", error_contains("Target screen"), true},
      {"error:Target screen not found", error_contains("error:"), true},
      {"error:Target screen not found", error_contains(""), true},
      {"error:Target screen not found", error_contains("target screen"), false},
      {"error:Target screen not found", kAny, true},
      {"error:Target screen not found", kSuccess, false},
      {"invariant:New duplicate uniqueId values introduced: 4", kAny, false},
      {"invariant:error:x", error_contains(""), false},
      {"invariant:x", kSuccess, false},
      {"panic:boom", kAny, false},
      {"success", kSuccess, true},
      {"success", kAny, true},
      {"success", error_contains(""), false},
      {"success ", kSuccess, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(satisfies(c.outcome, c.expected), c.satisfied)
        << c.outcome << " / " << c.expected.value.index();
  }
}

}  // namespace
}  // namespace kivo::stress::replay
