#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "kivo/element.hpp"
#include "kivo/stress/checks.hpp"
#include "kivo/stress/error.hpp"
#include "kivo/stress/operation.hpp"

namespace kivo::stress::replay {

/// True for outcome texts beginning with "panic:" or "invariant:".
bool is_fault(std::string_view outcome);
/// Whether `outcome` satisfies `expected` (a fault never does).
bool satisfies(std::string_view outcome, const ExpectedOutcome& expected);
/// What checked steps in a row on the same documents know of them, so that each step walks them
/// once: a step takes what it finds and leaves what holds after it, or nothing it cannot know.
struct Carried {
  /// The identity duplicates of the target.
  std::optional<checks::IdentityDuplicates> target_duplicates;
  /// The strict oracle's fingerprint of the source.
  std::optional<std::uint64_t> source_fingerprint;
};

/// Runs `operation` under the fault guard and the invariants; returns the outcome text.
std::string execute_with_invariants(const Element& source, Element& target,
                                    const StressOperation& operation, Carried* carried = nullptr);
/// As `execute_with_invariants`, and also holds the operation to the strict oracle: exact
/// refusal texts, the exact copy in the exact place, an unchanged source, a faithful round trip.
std::string execute_strict(const Element& source, Element& target, const StressOperation& operation,
                           Carried* carried = nullptr);
/// `execute_strict` when `strict` is set, `execute_with_invariants` otherwise.
std::string execute_checked(const Element& source, Element& target,
                            const StressOperation& operation, bool strict,
                            Carried* carried = nullptr);

/// The expectation as written in failure messages: Success, Any, ErrorContains("...").
std::string expectation_debug(const ExpectedOutcome& expected);
/// Words the failure of step `step`: a fault as it is, anything else as an outcome mismatch.
std::string derive_failure_message(std::uint64_t step, const ExpectedOutcome& expected,
                                   std::string_view observed);

/// A reproduced failure.
struct ReplayResult {
  bool reproduced = false;
  std::uint64_t step = 0;
  std::uint64_t compared_steps = 0;
  std::string message;
};

/// Re-executes the case at `case_path` and demands the recorded failure.
Result<ReplayResult> replay_case(const std::filesystem::path& case_path);

}  // namespace kivo::stress::replay
