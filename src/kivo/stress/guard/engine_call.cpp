#include "kivo/merge.hpp"
#include "kivo/stress/guard.hpp"

namespace kivo::stress::guard {
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

}  // namespace

namespace test_hooks {
void set_engine_hook(EngineHook hook) { engine_hook = hook; }
void set_engine_override(EngineOverride engine) { engine_override = std::move(engine); }
}  // namespace test_hooks

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

}  // namespace kivo::stress::guard
