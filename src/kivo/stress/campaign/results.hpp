#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "kivo/stress/campaign.hpp"
#include "kivo/stress/error.hpp"
#include "kivo/stress/stats.hpp"

namespace kivo::stress::campaign {

/// What one finished seed leaves in a results file.
struct SeedRecord {
  std::uint64_t seed = 0;
  bool failed = false;
  /// Executed operations (the failing one included) and those that succeeded.
  std::uint64_t attempted = 0;
  std::uint64_t succeeded = 0;
  std::chrono::duration<double> elapsed{0};
  /// Exactly what a campaign prints for the seed: its closing line or its failure.
  std::string output;
  /// A failing seed's error chain, joined as printed.
  std::string message;
  /// A failing seed's case directory, when one was written.
  std::optional<std::filesystem::path> case_dir;
  stats::RunStats stats;
};

/// The last object of a results file: what the whole run of that process did.
struct CampaignRecord {
  std::pair<std::uint64_t, std::uint64_t> seeds{0, 0};
  /// (K, N) of `--shard K/N`.
  std::optional<std::pair<std::uint64_t, std::uint64_t>> shard;
  std::string profile;
  bool strict = false;
  /// Jobs, runs, failed, attempted, succeeded and elapsed as the campaign line shows them; the
  /// statistics are not recorded (each seed holds its own).
  CampaignResult totals;
  /// "complete", "stopped by SIGINT" (or SIGTERM) or "error".
  std::string ended = "complete";
  /// With `ended` "error": the error chain that ended the run.
  std::string error;
};

using ResultsRecord = std::variant<SeedRecord, CampaignRecord>;

/// `record` as one line of JSON, newline included.
std::string to_json_line(const ResultsRecord& record);
/// A line of a results file read back.
Result<ResultsRecord> parse_results_line(std::string_view line);

/// A results file open for appending whole lines, each on disk before `write` returns to the
/// kernel, so a killed process keeps every line it wrote.
class ResultsFile {
 public:
  /// Creates or empties `path`.
  static Result<ResultsFile> create(const std::filesystem::path& path);
  ResultsFile(ResultsFile&& other) noexcept;
  ResultsFile& operator=(ResultsFile&&) = delete;
  ~ResultsFile();

  /// Appends `record`; the first failure is kept for `status`, later writes are skipped.
  void write(const ResultsRecord& record);
  /// The first failed write, if any.
  Result<void> status() const;

 private:
  ResultsFile(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
  int fd_ = -1;
  std::filesystem::path path_;
  std::optional<Error> error_;
};

}  // namespace kivo::stress::campaign
