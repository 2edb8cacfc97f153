#include "kivo/stress/replay.hpp"

namespace kivo::stress::replay {

bool is_fault(std::string_view outcome) {
  return outcome.starts_with("panic:") || outcome.starts_with("invariant:");
}

bool satisfies(std::string_view outcome, const ExpectedOutcome& expected) {
  if (is_fault(outcome)) return false;
  if (std::holds_alternative<ExpectedOutcome::Success>(expected.value)) {
    return outcome == "success";
  }
  if (std::holds_alternative<ExpectedOutcome::Any>(expected.value)) return true;
  const auto& fragment = std::get<ExpectedOutcome::ErrorContains>(expected.value).fragment;
  return outcome.starts_with("error:") && outcome.find(fragment) != std::string_view::npos;
}

}  // namespace kivo::stress::replay
