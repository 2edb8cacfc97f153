#include "kivo/stress/stats.hpp"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "kivo/stress/artifacts/file_io.hpp"
#include "kivo/stress/stats/families_json.hpp"

namespace kivo::stress::stats {
namespace {

constexpr std::array<std::string_view, kFamilyCount> kFamilyNames = {
    "copy-screen",          "copy-slice",        "copy-mask",         "input-mask",
    "input-mask-overwrite", "input-mask-aspect", "input-mask-refusal"};

Family mask_family(const ExpectedOutcome& expected) {
  const auto* refusal = std::get_if<ExpectedOutcome::ErrorContains>(&expected.value);
  if (!refusal) return Family::InputMask;
  if (refusal->fragment.find("already has an input mask") != std::string::npos) {
    return Family::InputMaskOverwrite;
  }
  if (refusal->fragment.find("aspect ratios are too different") != std::string::npos) {
    return Family::InputMaskAspect;
  }
  return Family::InputMaskRefusal;
}

std::uint64_t micros(std::chrono::nanoseconds duration) {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(duration).count());
}

std::string milliseconds_text(std::chrono::nanoseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3fms", static_cast<double>(duration.count()) / 1e6);
  return text;
}

}  // namespace

std::string_view family_name(Family family) {
  return kFamilyNames[static_cast<std::size_t>(family)];
}

std::optional<Family> family_named(std::string_view name) {
  for (std::size_t i = 0; i < kFamilyCount; ++i) {
    if (kFamilyNames[i] == name) return static_cast<Family>(i);
  }
  return std::nullopt;
}

std::optional<Family> family_of(const StressOperation& operation, const ExpectedOutcome& expected) {
  if (std::holds_alternative<StressOperation::InputMask>(operation.value)) {
    return mask_family(expected);
  }
  const auto& kind = std::get<StressOperation::Copy>(operation.value).source_kind;
  if (kind == "screen") return Family::CopyScreen;
  if (kind == "slice") return Family::CopySlice;
  if (kind == "mask") return Family::CopyMask;
  return std::nullopt;
}

void RunStats::record(const StressOperation& operation, const ExpectedOutcome& expected,
                      std::string_view outcome, bool passed, std::chrono::nanoseconds duration,
                      const StepPlace& place) {
  const auto family = family_of(operation, expected);
  if (!family) return;
  FamilyStats& stats = families_[static_cast<std::size_t>(*family)];
  ++stats.planned;
  if (!passed) {
    ++stats.failed;
  } else if (outcome == "success") {
    ++stats.succeeded;
  } else {
    ++stats.refused;
  }
  if (!stats.slowest_at || duration > stats.slowest) {
    stats.slowest = duration;
    stats.slowest_at = place;
  }
}

void RunStats::merge(const RunStats& other) {
  for (std::size_t i = 0; i < kFamilyCount; ++i) {
    FamilyStats& mine = families_[i];
    const FamilyStats& theirs = other.families_[i];
    mine.planned += theirs.planned;
    mine.succeeded += theirs.succeeded;
    mine.refused += theirs.refused;
    mine.failed += theirs.failed;
    if (theirs.slowest_at && (!mine.slowest_at || theirs.slowest > mine.slowest)) {
      mine.slowest = theirs.slowest;
      mine.slowest_at = theirs.slowest_at;
    }
  }
}

std::string RunStats::text() const {
  std::string text;
  for (std::size_t i = 0; i < kFamilyCount; ++i) {
    const FamilyStats& stats = families_[i];
    text += "Stats " + std::string(kFamilyNames[i]) + " planned=" + std::to_string(stats.planned) +
            " succeeded=" + std::to_string(stats.succeeded) +
            " refused=" + std::to_string(stats.refused) +
            " failed=" + std::to_string(stats.failed) + " slowest=";
    if (stats.slowest_at) {
      const StepPlace& at = *stats.slowest_at;
      text += milliseconds_text(stats.slowest) + " seed=" + std::to_string(at.seed) +
              " pair=" + std::to_string(at.pair) + " step=" + std::to_string(at.step);
    } else {
      text += "-";
    }
    text += '\n';
  }
  return text;
}

nlohmann::ordered_json families_json(const RunStats& stats, DurationUnit unit) {
  nlohmann::ordered_json families = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < kFamilyCount; ++i) {
    const FamilyStats& counts = stats.of(static_cast<Family>(i));
    nlohmann::ordered_json entry;
    entry["family"] = kFamilyNames[i];
    entry["planned"] = counts.planned;
    entry["succeeded"] = counts.succeeded;
    entry["refusedAsExpected"] = counts.refused;
    entry["failed"] = counts.failed;
    const char* duration_key =
        unit == DurationUnit::Micros ? "slowestStepMicros" : "slowestStepNanos";
    if (counts.slowest_at) {
      entry[duration_key] = unit == DurationUnit::Micros
                                ? micros(counts.slowest)
                                : static_cast<std::uint64_t>(counts.slowest.count());
      entry["slowestStep"] = {{"seed", counts.slowest_at->seed},
                              {"pair", counts.slowest_at->pair},
                              {"step", counts.slowest_at->step}};
    } else {
      entry[duration_key] = nullptr;
      entry["slowestStep"] = nullptr;
    }
    families.push_back(std::move(entry));
  }
  return families;
}

std::string RunStats::json() const {
  nlohmann::ordered_json root;
  root["families"] = families_json(*this, DurationUnit::Micros);
  return root.dump(2);
}

Result<void> write_stats_json(const std::filesystem::path& dir, const RunStats& stats) {
  auto written = artifacts::write_text_file(dir / "stats.json", stats.json());
  if (!written)
    return std::unexpected(std::move(written.error()).context("failed to write stats.json"));
  return {};
}

}  // namespace kivo::stress::stats
