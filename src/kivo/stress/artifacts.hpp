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
/// Writes a case directory under `out_dir`; returns its path. The directory is built under a
/// hidden temporary name and renamed when complete, so a case directory is never half written.
Result<std::filesystem::path> persist_failure_artifact(const std::filesystem::path& out_dir,
                                                       const FailureArtifact& artifact,
                                                       const Element& source_before,
                                                       const Element& target_before,
                                                       const Element* target_after);
/// The content of one case: its case.json and its presets.
struct CaseContent {
  const FailureArtifact& artifact;
  const Element& source_before;
  const Element& target_before;
  const Element* target_after = nullptr;
};
/// As `persist_failure_artifact` for `reduced`, with `unreduced` kept whole in "unreduced/".
Result<std::filesystem::path> persist_reduced_case(const std::filesystem::path& out_dir,
                                                   const CaseContent& reduced,
                                                   const CaseContent& unreduced);
/// A preset as a case holds it: the fixed form for strict cases, the library's text otherwise.
Result<std::string> case_preset_text(const Element& root, bool strict);
/// A case preset's tree, read as a replay reads it: independently for strict cases.
Result<Element> read_case_preset(std::string_view text, bool strict);
/// The preset file `name` of the case in `directory`, read as `read_case_preset` reads it;
/// `name` must be a plain file name, since case files may come from elsewhere.
Result<Element> load_case_preset(const std::filesystem::path& directory, const std::string& name,
                                 bool strict);
/// Reads and decodes the case file at `path`.
Result<FailureArtifact> load_failure_artifact(const std::filesystem::path& path);

}  // namespace kivo::stress::artifacts
