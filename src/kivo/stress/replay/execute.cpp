#include <optional>

#include "kivo/merge.hpp"
#include "kivo/stress/checks.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/replay/fault_hook.hpp"

namespace kivo::stress::replay {
namespace {

test_hooks::EngineHook engine_hook = nullptr;

using EngineResult = std::expected<model::CopyResult, AppError>;

std::optional<model::NodeKind> node_kind(std::string_view source_kind) {
  if (source_kind == "screen") return model::NodeKind::Screen;
  if (source_kind == "slice") return model::NodeKind::Slice;
  if (source_kind == "mask") return model::NodeKind::Mask;
  return std::nullopt;
}

EngineResult run_engine(const Element& source, Element& target, const StressOperation::Copy& copy) {
  auto kind = node_kind(copy.source_kind);
  if (!kind) {
    return std::unexpected(
        AppError::validation("Unsupported source kind '" + copy.source_kind + "' in replay"));
  }
  model::CopyOperation request;
  request.source.unique_id = copy.source_unique_id;
  request.source.parent_unique_id = copy.source_parent_unique_id;
  request.source.side = 0;
  request.source.kind = *kind;
  request.collision_policy = "autoRenameRemap";
  request.target_screen_unique_id = copy.target_screen_unique_id;
  request.target_side = 1;
  if (engine_hook) engine_hook(target);
  return merge::apply_copy(source, target, request);
}

EngineResult run_engine(const Element& source, Element& target,
                        const StressOperation::InputMask& mask) {
  if (engine_hook) engine_hook(target);
  return merge::apply_slice_input_mask_copy(source, target, mask.source_slice_unique_id,
                                            mask.target_slice_unique_id, mask.allow_overwrite);
}

/// The outcome when the engine refused or faulted; nothing when it returned a copy result.
std::optional<std::string> guarded_engine_call(const Element& source, Element& target,
                                               const StressOperation& operation) {
  try {
    EngineResult result =
        std::visit([&](const auto& op) { return run_engine(source, target, op); }, operation.value);
    if (!result) return "error:" + result.error().message();
    return std::nullopt;
  } catch (const std::exception& fault) {
    return std::string("panic:") + fault.what();
  } catch (...) {
    return std::string("panic:unknown");
  }
}

constexpr std::string_view kIdentityAttributes[] = {"uniqueId", "idHash"};

// The duplicates the target already had, which an operation may keep but not add to; taking
// them up front spares a deep copy of the target on every step.
struct DuplicatesBefore {
  std::unordered_set<std::string> sets[2];
  explicit DuplicatesBefore(const Element& target) {
    for (std::size_t i = 0; i < 2; ++i) {
      sets[i] = checks::duplicate_attr_values(target, kIdentityAttributes[i]);
    }
  }
};

/// The outermost message of the first invariant that fails, checked in their fixed order.
std::optional<std::string> broken_invariant(const DuplicatesBefore& before, const Element& after) {
  for (std::size_t i = 0; i < 2; ++i) {
    auto fresh = checks::ensure_no_fresh_duplicates(before.sets[i], after, kIdentityAttributes[i]);
    if (!fresh) return fresh.error().message();
  }
  // Validation messages never fail an operation; only the round trip and structure do.
  if (auto roundtrip = checks::roundtrip_parse_and_validate(after); !roundtrip) {
    return roundtrip.error().message();
  }
  return std::nullopt;
}

}  // namespace

namespace test_hooks {
void set_engine_hook(EngineHook hook) { engine_hook = hook; }
}  // namespace test_hooks

std::string execute_with_invariants(const Element& source, Element& target,
                                    const StressOperation& operation) {
  const DuplicatesBefore before(target);
  if (auto refused = guarded_engine_call(source, target, operation)) return *refused;
  if (auto broken = broken_invariant(before, target)) return "invariant:" + *broken;
  return "success";
}

}  // namespace kivo::stress::replay
