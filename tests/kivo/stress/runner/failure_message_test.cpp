#include <gtest/gtest.h>

#include "kivo/stress/runner.hpp"

namespace {

using kivo::stress::ExpectedOutcome;

// The mismatch of a success expectation is in the stored cases of tests/data/default_form.
TEST(DeriveFailureMessage, FaultsPassThroughAndMismatchesAreWorded) {
  using kivo::stress::runner::derive_failure_message;
  EXPECT_EQ(derive_failure_message(0, {ExpectedOutcome::Any{}}, "invariant:New duplicate"),
            "invariant:New duplicate");
  EXPECT_EQ(derive_failure_message(1, {ExpectedOutcome::Success{}}, "panic:boom"), "panic:boom");
  EXPECT_EQ(
      derive_failure_message(12, {ExpectedOutcome::ErrorContains{"a\"b\\c\nd\x01 e"}}, "success"),
      "Outcome mismatch for operation at step 12. expected=ErrorContains(\"a\\\"b\\\\c\\nd"
      "\\u{1} e\"), observed='success'.");
  EXPECT_EQ(derive_failure_message(2, {ExpectedOutcome::Any{}}, "odd"),
            "Outcome mismatch for operation at step 2. expected=Any, observed='odd'.");
}

}  // namespace
