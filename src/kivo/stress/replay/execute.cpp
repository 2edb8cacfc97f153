#include <optional>

#include "kivo/merge.hpp"
#include "kivo/stress/checks.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/replay/engine_call.hpp"
#include "kivo/stress/replay/fault_hook.hpp"

namespace kivo::stress::replay {
namespace {

test_hooks::EngineHook engine_hook = nullptr;
test_hooks::EngineOverride engine_override;

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
  request.collision_policy = copy.collision_policy.value_or("autoRenameRemap");
  request.target_screen_unique_id = copy.target_screen_unique_id;
  request.target_side = 1;
  if (engine_hook) engine_hook(target);
  if (engine_override) return engine_override(source, target, StressOperation{copy});
  return merge::apply_copy(source, target, request);
}

EngineResult run_engine(const Element& source, Element& target,
                        const StressOperation::InputMask& mask) {
  if (engine_hook) engine_hook(target);
  if (engine_override) return engine_override(source, target, StressOperation{mask});
  return merge::apply_slice_input_mask_copy(source, target, mask.source_slice_unique_id,
                                            mask.target_slice_unique_id, mask.allow_overwrite);
}

EngineResult run_engine(const Element& source, Element& target, const StressOperation& operation) {
  return std::visit([&](const auto& op) { return run_engine(source, target, op); },
                    operation.value);
}

constexpr std::string_view kIdentityAttributes[] = {"uniqueId", "idHash"};

}  // namespace

namespace test_hooks {
void set_engine_hook(EngineHook hook) { engine_hook = hook; }
void set_engine_override(EngineOverride engine) { engine_override = std::move(engine); }
}  // namespace test_hooks

namespace detail {

EngineOutcome call_engine(const Element& source, Element& target,
                          const StressOperation& operation) {
  try {
    EngineResult result = run_engine(source, target, operation);
    if (!result) return {std::nullopt, "error:" + result.error().message(), false};
    return {std::move(*result), std::nullopt, false};
  } catch (const std::exception& fault) {
    return {std::nullopt, std::string("panic:") + fault.what(), true};
  } catch (...) {
    return {std::nullopt, std::string("panic:unknown"), true};
  }
}

// Taking the sets up front spares a deep copy of the target on every step.
DuplicatesBefore::DuplicatesBefore(const Element& target) {
  for (std::size_t i = 0; i < 2; ++i) {
    sets[i] = checks::duplicate_attr_values(target, kIdentityAttributes[i]);
  }
}

std::optional<std::string> fresh_duplicate(const DuplicatesBefore& before, const Element& after) {
  for (std::size_t i = 0; i < 2; ++i) {
    auto fresh = checks::ensure_no_fresh_duplicates(before.sets[i], after, kIdentityAttributes[i]);
    if (!fresh) return fresh.error().message();
  }
  return std::nullopt;
}

}  // namespace detail

std::string execute_with_invariants(const Element& source, Element& target,
                                    const StressOperation& operation) {
  const detail::DuplicatesBefore before(target);
  auto engine = detail::call_engine(source, target, operation);
  if (engine.failure) return *engine.failure;
  if (auto duplicate = detail::fresh_duplicate(before, target)) return "invariant:" + *duplicate;
  // Validation messages never fail an operation; only the round trip and structure do.
  if (auto roundtrip = checks::roundtrip_parse_and_validate(target); !roundtrip) {
    return "invariant:" + roundtrip.error().message();
  }
  return "success";
}

std::string execute_checked(const Element& source, Element& target,
                            const StressOperation& operation, bool strict) {
  return strict ? execute_strict(source, target, operation)
                : execute_with_invariants(source, target, operation);
}

}  // namespace kivo::stress::replay
