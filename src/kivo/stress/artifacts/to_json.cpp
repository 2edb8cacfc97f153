#include <nlohmann/json.hpp>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/artifacts/float_text.hpp"

namespace kivo::stress::artifacts {
namespace {

using Json = nlohmann::ordered_json;

Json optional_text(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json(nullptr);
}

Json config_json(const StressConfigSnapshot& config) {
  Json json = Json::object();
  json["profile"] = config.profile.name();
  json["seed"] = config.seed;
  json["templatePath"] = config.template_path;
  json["docs"] = config.docs;
  json["pairs"] = config.pairs;
  json["opsPerPair"] = config.ops_per_pair;
  json["invalidRate"] = config.invalid_rate;
  json["outDir"] = config.out_dir;
  return json;
}

Json operation_json(const StressOperation::Copy& copy) {
  Json json = Json::object();
  json["kind"] = "copy";
  json["source_kind"] = copy.source_kind;
  json["source_unique_id"] = copy.source_unique_id;
  json["source_parent_unique_id"] = optional_text(copy.source_parent_unique_id);
  json["target_screen_unique_id"] = optional_text(copy.target_screen_unique_id);
  // Written only when set, so that cases of ordinary runs keep their form.
  if (copy.collision_policy) json["collision_policy"] = *copy.collision_policy;
  return json;
}

Json operation_json(const StressOperation::InputMask& mask) {
  Json json = Json::object();
  json["kind"] = "inputMask";
  json["source_slice_unique_id"] = mask.source_slice_unique_id;
  json["target_slice_unique_id"] = mask.target_slice_unique_id;
  json["allow_overwrite"] = mask.allow_overwrite;
  return json;
}

Json expected_json(const ExpectedOutcome::Success&) { return "success"; }
Json expected_json(const ExpectedOutcome::Any&) { return "any"; }
Json expected_json(const ExpectedOutcome::ErrorContains& error) {
  Json json = Json::object();
  json["errorContains"] = error.fragment;
  return json;
}

Json trace_item_json(const OperationTraceItem& item) {
  Json json = Json::object();
  json["index"] = item.index;
  json["operation"] =
      std::visit([](const auto& op) { return operation_json(op); }, item.operation.value);
  json["expected"] =
      std::visit([](const auto& e) { return expected_json(e); }, item.expected.value);
  json["outcome"] = item.outcome;
  return json;
}

Json artifact_json(const FailureArtifact& artifact) {
  Json trace = Json::array();
  for (const OperationTraceItem& item : artifact.operation_trace) {
    trace.push_back(trace_item_json(item));
  }
  Json json = Json::object();
  json["seed"] = artifact.seed;
  json["config"] = config_json(artifact.config);
  json["sourceDocIndex"] = artifact.source_doc_index;
  json["targetDocIndex"] = artifact.target_doc_index;
  json["failingStepIndex"] = artifact.failing_step_index;
  json["failureMessage"] = artifact.failure_message;
  json["traceHash"] = artifact.trace_hash;
  json["operationTrace"] = std::move(trace);
  json["sourceBeforeFile"] = artifact.source_before_file;
  json["targetBeforeFile"] = artifact.target_before_file;
  json["targetAfterFile"] = optional_text(artifact.target_after_file);
  if (artifact.strict) json["strict"] = true;
  return json;
}

}  // namespace

Result<std::string> to_json_text(const FailureArtifact& artifact) {
  try {
    // The library's float form differs from ours ("1e-06", "1e-05"), so floats are rewritten.
    return rewrite_float_tokens(artifact_json(artifact).dump(2));
  } catch (const nlohmann::json::exception& error) {
    return std::unexpected(Error(error.what()));
  }
}

}  // namespace kivo::stress::artifacts
