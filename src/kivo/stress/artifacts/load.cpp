#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/artifacts/file_io.hpp"

namespace kivo::stress::artifacts {

Result<FailureArtifact> load_failure_artifact(const std::filesystem::path& path) {
  auto text = read_text_file(path);
  if (!text) {
    return std::unexpected(
        std::move(text.error()).context("failed to read case file " + path.string()));
  }
  auto artifact = from_json_text(*text);
  if (!artifact) {
    return std::unexpected(
        std::move(artifact.error()).context("failed to parse case file " + path.string()));
  }
  return artifact;
}

}  // namespace kivo::stress::artifacts
