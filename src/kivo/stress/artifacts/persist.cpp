#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/artifacts/file_io.hpp"
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

// A hidden name no other writer uses, in this process or another.
fs::path incomplete_name(const fs::path& out_dir) {
  static std::atomic<std::uint64_t> next{0};
  return out_dir / (".incomplete_" + std::to_string(::getpid()) + "_" + std::to_string(next++));
}

Result<fs::path> create_incomplete_dir(const fs::path& out_dir) {
  for (;;) {
    const fs::path dir = incomplete_name(out_dir);
    std::error_code code;
    if (fs::create_directory(dir, code)) return dir;
    if (code && code != std::errc::file_exists) {
      return io_failure("failed to create case dir " + dir.string(), code);
    }
  }
}

/// Gives the complete directory its name "{seconds}_{seed}", or "{seconds}_{seed}_1", "_2", ...
/// when that name is taken, so that two cases of one seed within one second never share files.
/// The rename never replaces an existing directory.
Result<fs::path> name_case_dir(const fs::path& incomplete, const fs::path& out_dir,
                               std::uint64_t seed) {
  const std::string base = std::to_string(unix_seconds_now()) + "_" + std::to_string(seed);
  constexpr unsigned kMaxSuffix = 100000;
  for (unsigned suffix = 0; suffix <= kMaxSuffix; ++suffix) {
    fs::path dir = out_dir / (suffix == 0 ? base : base + "_" + std::to_string(suffix));
    if (::renameat2(AT_FDCWD, incomplete.c_str(), AT_FDCWD, dir.c_str(), RENAME_NOREPLACE) == 0) {
      return dir;
    }
    if (errno != EEXIST) {
      return io_failure("failed to create case dir " + dir.string(),
                        std::error_code(errno, std::generic_category()));
    }
  }
  return io_failure("failed to create case dir " + (out_dir / base).string(),
                    std::make_error_code(std::errc::file_exists));
}

Result<void> write_case_file(const fs::path& dir, const std::string& name, std::string_view text) {
  auto written = write_text_file(dir / name, text);
  if (!written)
    return std::unexpected(std::move(written.error()).context("failed to write " + name));
  return {};
}

Result<void> write_presets(const fs::path& dir, const CaseContent& content) {
  const bool strict = content.artifact.strict;
  auto source_text = case_preset_text(content.source_before, strict);
  if (!source_text) return std::unexpected(std::move(source_text.error()));
  auto target_text = case_preset_text(content.target_before, strict);
  if (!target_text) return std::unexpected(std::move(target_text.error()));
  if (auto ok = write_case_file(dir, "source_before.xml", *source_text); !ok) return ok;
  if (auto ok = write_case_file(dir, "target_before.xml", *target_text); !ok) return ok;
  if (content.target_after == nullptr) return {};
  auto after_text = case_preset_text(*content.target_after, strict);
  if (!after_text) return std::unexpected(std::move(after_text.error()));
  return write_case_file(dir, "target_after.xml", *after_text);
}

Result<void> write_case(const fs::path& dir, const CaseContent& content) {
  if (auto ok = write_presets(dir, content); !ok) return ok;
  auto json = to_json_text(content.artifact);
  if (!json)
    return std::unexpected(std::move(json.error()).context("failed to serialize failure case"));
  return write_case_file(dir, "case.json", *json);
}

Result<void> write_unreduced(const fs::path& dir, const CaseContent* unreduced) {
  if (unreduced == nullptr) return {};
  std::error_code code;
  fs::create_directory(dir / "unreduced", code);
  if (code) return io_failure("failed to create " + (dir / "unreduced").string(), code);
  return write_case(dir / "unreduced", *unreduced);
}

// Nothing half written is left behind: the error says the incomplete directory is gone.
std::unexpected<Error> discard(const fs::path& incomplete, Error error) {
  std::error_code code;
  fs::remove_all(incomplete, code);
  const std::string fate =
      code ? " could not be removed: " + os_error_message(code.value()) : " was removed";
  return std::unexpected(std::move(error).context("case not kept; its incomplete directory " +
                                                  incomplete.string() + fate));
}

Result<fs::path> persist(const fs::path& out_dir, const CaseContent& content,
                         const CaseContent* unreduced) {
  std::error_code code;
  fs::create_directories(out_dir, code);
  if (code) return io_failure("failed to create stress out dir " + out_dir.string(), code);
  auto incomplete = create_incomplete_dir(out_dir);
  if (!incomplete) return incomplete;
  auto written = write_case(*incomplete, content);
  if (written) written = write_unreduced(*incomplete, unreduced);
  if (!written) return discard(*incomplete, std::move(written.error()));
  auto named = name_case_dir(*incomplete, out_dir, content.artifact.seed);
  if (!named) return discard(*incomplete, std::move(named.error()));
  return named;
}

}  // namespace

Result<fs::path> persist_failure_artifact(const fs::path& out_dir, const FailureArtifact& artifact,
                                          const Element& source_before,
                                          const Element& target_before,
                                          const Element* target_after) {
  return persist(out_dir, {artifact, source_before, target_before, target_after}, nullptr);
}

Result<fs::path> persist_reduced_case(const fs::path& out_dir, const CaseContent& reduced,
                                      const CaseContent& unreduced) {
  return persist(out_dir, reduced, &unreduced);
}

}  // namespace kivo::stress::artifacts
