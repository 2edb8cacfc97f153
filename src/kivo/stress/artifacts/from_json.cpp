#include <limits>
#include <stdexcept>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/artifacts/profile_text.hpp"
#include "kivo/stress/artifacts/strict_json.hpp"

namespace kivo::stress::artifacts {
namespace {

using Json = nlohmann::json;

/// Raised inside the decoder only; from_json_text turns it into an error value.
struct DecodeError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void wrong_type(std::string_view key, std::string_view expected) {
  throw DecodeError("invalid type for '" + std::string(key) + "': expected " +
                    std::string(expected));
}

const Json& require_object(const Json& value, std::string_view key) {
  if (!value.is_object()) wrong_type(key, "an object");
  return value;
}

/// The value of `key`; unknown keys of the object are simply never asked for.
const Json& field(const Json& object, std::string_view key) {
  auto it = object.find(key);
  if (it == object.end()) throw DecodeError("missing field '" + std::string(key) + "'");
  return *it;
}

std::uint64_t read_u64(const Json& object, std::string_view key) {
  const Json& value = field(object, key);
  if (value.is_number_unsigned()) return value.get<std::uint64_t>();
  // "-0" arrives as a signed integer.
  if (value.is_number_integer() && value.get<std::int64_t>() == 0) return 0;
  wrong_type(key, "an unsigned 64-bit integer");
}

double read_f64(const Json& object, std::string_view key) {
  const Json& value = field(object, key);
  if (!value.is_number()) wrong_type(key, "a number");
  return value.get<double>();
}

std::string read_text(const Json& object, std::string_view key) {
  const Json& value = field(object, key);
  if (!value.is_string()) wrong_type(key, "a string");
  return value.get<std::string>();
}

std::optional<std::string> read_optional_text(const Json& object, std::string_view key) {
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) return std::nullopt;
  if (!it->is_string()) wrong_type(key, "a string or null");
  return it->get<std::string>();
}

bool read_flag(const Json& object, std::string_view key) {
  const Json& value = field(object, key);
  if (!value.is_boolean()) wrong_type(key, "true or false");
  return value.get<bool>();
}

// Absent or null reads as false.
bool read_optional_flag(const Json& object, std::string_view key) {
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) return false;
  if (!it->is_boolean()) wrong_type(key, "true, false or null");
  return it->get<bool>();
}

StressConfigSnapshot read_config(const Json& object) {
  StressConfigSnapshot config;
  std::string profile = read_text(object, "profile");
  auto parsed = profile_from_text(profile);
  if (!parsed) {
    throw DecodeError("unknown profile '" + profile + "', expected 'fast', 'balanced' or 'deep'");
  }
  config.profile = *parsed;
  config.seed = read_u64(object, "seed");
  config.template_path = read_text(object, "templatePath");
  config.docs = read_u64(object, "docs");
  config.pairs = read_u64(object, "pairs");
  config.ops_per_pair = read_u64(object, "opsPerPair");
  config.invalid_rate = read_f64(object, "invalidRate");
  config.out_dir = read_text(object, "outDir");
  return config;
}

StressOperation read_operation(const Json& object) {
  const std::string kind = read_text(object, "kind");
  if (kind == "copy") {
    return {StressOperation::Copy{read_text(object, "source_kind"),
                                  read_text(object, "source_unique_id"),
                                  read_optional_text(object, "source_parent_unique_id"),
                                  read_optional_text(object, "target_screen_unique_id"),
                                  read_optional_text(object, "collision_policy")}};
  }
  if (kind == "inputMask") {
    return {StressOperation::InputMask{read_text(object, "source_slice_unique_id"),
                                       read_text(object, "target_slice_unique_id"),
                                       read_flag(object, "allow_overwrite")}};
  }
  throw DecodeError("unknown operation kind '" + kind + "', expected 'copy' or 'inputMask'");
}

[[noreturn]] void unknown_outcome(std::string_view name) {
  throw DecodeError("unknown expected outcome '" + std::string(name) +
                    "', expected 'success', 'any' or 'errorContains'");
}

ExpectedOutcome read_expected(const Json& value) {
  if (value.is_string()) {
    const auto& name = value.get_ref<const std::string&>();
    if (name == "success") return {ExpectedOutcome::Success{}};
    if (name == "any") return {ExpectedOutcome::Any{}};
    unknown_outcome(name);
  }
  if (!value.is_object() || value.size() != 1) {
    wrong_type("expected", "\"success\", \"any\" or an object with the single key errorContains");
  }
  if (!value.contains("errorContains")) unknown_outcome(value.begin().key());
  return {ExpectedOutcome::ErrorContains{read_text(value, "errorContains")}};
}

OperationTraceItem read_trace_item(const Json& object) {
  require_object(object, "operationTrace item");
  OperationTraceItem item;
  item.index = read_u64(object, "index");
  item.operation = read_operation(require_object(field(object, "operation"), "operation"));
  item.expected = read_expected(field(object, "expected"));
  item.outcome = read_text(object, "outcome");
  return item;
}

std::vector<OperationTraceItem> read_trace(const Json& object) {
  const Json& trace = field(object, "operationTrace");
  if (!trace.is_array()) wrong_type("operationTrace", "an array");
  std::vector<OperationTraceItem> items;
  items.reserve(trace.size());
  for (const Json& item : trace) items.push_back(read_trace_item(item));
  return items;
}

FailureArtifact read_artifact(const Json& object) {
  require_object(object, "case file");
  FailureArtifact artifact;
  artifact.seed = read_u64(object, "seed");
  artifact.config = read_config(require_object(field(object, "config"), "config"));
  artifact.source_doc_index = read_u64(object, "sourceDocIndex");
  artifact.target_doc_index = read_u64(object, "targetDocIndex");
  artifact.failing_step_index = read_u64(object, "failingStepIndex");
  artifact.failure_message = read_text(object, "failureMessage");
  artifact.trace_hash = read_text(object, "traceHash");
  artifact.operation_trace = read_trace(object);
  artifact.source_before_file = read_text(object, "sourceBeforeFile");
  artifact.target_before_file = read_text(object, "targetBeforeFile");
  artifact.target_after_file = read_optional_text(object, "targetAfterFile");
  artifact.strict = read_optional_flag(object, "strict");
  return artifact;
}

}  // namespace

Result<FailureArtifact> from_json_text(std::string_view text) {
  Result<Json> json = parse_strict_json(text);
  if (!json) return std::unexpected(std::move(json.error()));
  try {
    return read_artifact(*json);
  } catch (const DecodeError& error) {
    return std::unexpected(Error(error.what()));
  }
}

}  // namespace kivo::stress::artifacts
