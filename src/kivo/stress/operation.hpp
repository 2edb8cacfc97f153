#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace kivo::stress {

/// A copy of a screen, slice or mask (`StressOperation::Copy`).
struct StressCopy {
  std::string source_kind;
  std::string source_unique_id;
  std::optional<std::string> source_parent_unique_id;
  std::optional<std::string> target_screen_unique_id;
  /// Absent means "autoRenameRemap"; strict runs plan other policies to see them refused.
  std::optional<std::string> collision_policy = std::nullopt;
  friend bool operator==(const StressCopy&, const StressCopy&) = default;
};

/// One planned operation: a copy or an input-mask paste.
struct StressOperation {
  using Copy = StressCopy;
  struct InputMask {
    std::string source_slice_unique_id;
    std::string target_slice_unique_id;
    bool allow_overwrite = false;
    friend bool operator==(const InputMask&, const InputMask&) = default;
  };

  std::variant<Copy, InputMask> value;
  friend bool operator==(const StressOperation&, const StressOperation&) = default;
};

/// What a step is expected to produce.
struct ExpectedOutcome {
  struct Success {
    friend bool operator==(const Success&, const Success&) = default;
  };
  struct Any {
    friend bool operator==(const Any&, const Any&) = default;
  };
  struct ErrorContains {
    std::string fragment;
    friend bool operator==(const ErrorContains&, const ErrorContains&) = default;
  };

  std::variant<Success, Any, ErrorContains> value;
  friend bool operator==(const ExpectedOutcome&, const ExpectedOutcome&) = default;
};

/// One executed step with its observed outcome text.
struct OperationTraceItem {
  std::uint64_t index = 0;
  StressOperation operation;
  ExpectedOutcome expected;
  std::string outcome;
  friend bool operator==(const OperationTraceItem&, const OperationTraceItem&) = default;
};

}  // namespace kivo::stress
