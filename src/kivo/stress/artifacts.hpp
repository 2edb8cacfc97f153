#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/stress/config.hpp"
#include "kivo/stress/error.hpp"
#include "kivo/stress/operation.hpp"

namespace kivo::stress {

/// The content of a failure case's case.json.
struct FailureArtifact {
  std::uint64_t seed = 0;
  StressConfigSnapshot config;
  std::uint64_t source_doc_index = 0;
  std::uint64_t target_doc_index = 0;
  std::uint64_t failing_step_index = 0;
  std::string failure_message;
  std::string trace_hash;
  std::vector<OperationTraceItem> operation_trace;
  std::string source_before_file;
  std::string target_before_file;
  std::optional<std::string> target_after_file;
  /// The case was found by a strict run and replays with the strict checks.
  bool strict = false;
  friend bool operator==(const FailureArtifact&, const FailureArtifact&) = default;
};

}  // namespace kivo::stress

namespace kivo::stress::artifacts {

/// The pretty JSON text of `artifact`.
Result<std::string> to_json_text(const FailureArtifact& artifact);
/// The artifact in the JSON text `text`.
Result<FailureArtifact> from_json_text(std::string_view text);
/// Writes a case directory under `out_dir`; returns its path.
Result<std::filesystem::path> persist_failure_artifact(const std::filesystem::path& out_dir,
                                                       const FailureArtifact& artifact,
                                                       const Element& source_before,
                                                       const Element& target_before,
                                                       const Element* target_after);
/// Reads and decodes the case file at `path`.
Result<FailureArtifact> load_failure_artifact(const std::filesystem::path& path);

}  // namespace kivo::stress::artifacts
