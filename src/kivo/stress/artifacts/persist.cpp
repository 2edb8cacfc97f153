#include <chrono>
#include <system_error>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/artifacts/file_io.hpp"
#include "kivo/stress/checks.hpp"
#include "kivo/stress/oracle.hpp"
#include "kivo/stress/text_file.hpp"

namespace kivo::stress::artifacts {
namespace {

namespace fs = std::filesystem;

std::uint64_t unix_seconds_now() {
  auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count();
  return seconds < 0 ? 0 : static_cast<std::uint64_t>(seconds);
}

std::unexpected<Error> io_failure(std::string context, const std::error_code& code) {
  return std::unexpected(Error(os_error_message(code.value())).context(std::move(context)));
}

/// Creates a fresh case directory "{seconds}_{seed}", or "{seconds}_{seed}_1", "_2", ... when
/// that name is taken, so that two cases of one seed within one second never share files.
Result<fs::path> create_case_dir(const fs::path& out_dir, std::uint64_t seed) {
  const std::string base = std::to_string(unix_seconds_now()) + "_" + std::to_string(seed);
  constexpr unsigned kMaxSuffix = 100000;
  for (unsigned suffix = 0; suffix <= kMaxSuffix; ++suffix) {
    fs::path dir = out_dir / (suffix == 0 ? base : base + "_" + std::to_string(suffix));
    std::error_code code;
    if (fs::create_directory(dir, code)) return dir;
    // Without an error the directory already existed: try the next name.
    if (code && code != std::errc::file_exists) {
      return io_failure("failed to create case dir " + dir.string(), code);
    }
  }
  return io_failure("failed to create case dir " + (out_dir / base).string(),
                    std::make_error_code(std::errc::file_exists));
}

// Strict cases are written in the fixed form by the harness's own writer, so that a case still
// reads back, and replays, when the library's writer is at fault.
Result<std::string> xml_text(const Element& root, bool strict) {
  if (strict) {
    auto text = oracle::fixed_form(root);
    if (!text) return std::unexpected(Error::from_app(AppError::xml_write({text.error()})));
    return std::move(*text);
  }
  auto text = checks::library_text(root);
  if (!text) return std::unexpected(Error::from_app(AppError::xml_write(text.error())));
  return std::move(*text);
}

Result<void> write_case_file(const fs::path& dir, const std::string& name, std::string_view text) {
  auto written = write_text_file(dir / name, text);
  if (!written)
    return std::unexpected(std::move(written.error()).context("failed to write " + name));
  return {};
}

Result<void> write_presets(const fs::path& dir, const Element& source_before,
                           const Element& target_before, const Element* target_after, bool strict) {
  auto source_text = xml_text(source_before, strict);
  if (!source_text) return std::unexpected(std::move(source_text.error()));
  auto target_text = xml_text(target_before, strict);
  if (!target_text) return std::unexpected(std::move(target_text.error()));
  if (auto ok = write_case_file(dir, "source_before.xml", *source_text); !ok) return ok;
  if (auto ok = write_case_file(dir, "target_before.xml", *target_text); !ok) return ok;
  if (target_after == nullptr) return {};
  auto after_text = xml_text(*target_after, strict);
  if (!after_text) return std::unexpected(std::move(after_text.error()));
  return write_case_file(dir, "target_after.xml", *after_text);
}

}  // namespace

Result<fs::path> persist_failure_artifact(const fs::path& out_dir, const FailureArtifact& artifact,
                                          const Element& source_before,
                                          const Element& target_before,
                                          const Element* target_after) {
  std::error_code code;
  fs::create_directories(out_dir, code);
  if (code) return io_failure("failed to create stress out dir " + out_dir.string(), code);
  auto dir = create_case_dir(out_dir, artifact.seed);
  if (!dir) return dir;
  if (auto ok = write_presets(*dir, source_before, target_before, target_after, artifact.strict);
      !ok) {
    return std::unexpected(std::move(ok.error()));
  }
  auto json = to_json_text(artifact);
  if (!json)
    return std::unexpected(std::move(json.error()).context("failed to serialize failure case"));
  if (auto ok = write_case_file(*dir, "case.json", *json); !ok) {
    return std::unexpected(std::move(ok.error()));
  }
  return dir;
}

}  // namespace kivo::stress::artifacts
