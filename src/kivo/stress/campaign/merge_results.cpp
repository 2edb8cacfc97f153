#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>

#include "kivo/stress/campaign/merge.hpp"
#include "kivo/stress/campaign/records.hpp"

namespace kivo::stress::campaign {
namespace {

// Where a record was read, for messages.
struct Place {
  std::filesystem::path file;
  std::uint64_t line = 0;

  std::string text() const {
    std::string text(1, '\'');
    text.append(file.string()).append("' line ").append(std::to_string(line));
    return text;
  }
};

struct Collected {
  std::map<std::uint64_t, std::pair<SeedRecord, Place>> seeds;
  std::vector<std::pair<CampaignRecord, Place>> campaigns;
  /// The first seed found twice; told only when the files are of one campaign at all.
  std::optional<Error> doubled;
};

std::string range_text(const std::pair<std::uint64_t, std::uint64_t>& seeds) {
  return std::to_string(seeds.first) + ".." + std::to_string(seeds.second);
}

Result<void> collect(const Place& place, ResultsRecord record, Collected& into) {
  if (auto* campaign = std::get_if<CampaignRecord>(&record)) {
    if (campaign->ended == "error") {
      return std::unexpected(Error("The run of results file '" + place.file.string() +
                                   "' ended with an error: " + campaign->error));
    }
    into.campaigns.emplace_back(std::move(*campaign), place);
    return {};
  }
  auto& seed = std::get<SeedRecord>(record);
  const std::uint64_t number = seed.seed;
  auto [entry, added] = into.seeds.try_emplace(number, std::move(seed), place);
  if (!added && !into.doubled) {
    into.doubled = Error("Seed " + std::to_string(number) + " is in the results twice: " +
                         entry->second.second.text() + " and " + place.text());
  }
  return {};
}

Result<void> read_file(const std::filesystem::path& file, Collected& into) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    return std::unexpected(
        Error("Unable to read results file '" + file.string() + "': " + std::strerror(errno)));
  }
  Place place{file, 0};
  for (std::string line; std::getline(in, line);) {
    ++place.line;
    if (line.empty()) continue;
    auto record = parse_results_line(line);
    if (!record) {
      return std::unexpected(
          std::move(record.error()).context("Results file " + place.text() + " is not a record"));
    }
    if (auto kept = collect(place, std::move(*record), into); !kept) return kept;
  }
  if (in.bad()) {
    return std::unexpected(Error("Unable to read results file '" + file.string() + "'"));
  }
  return {};
}

// The campaign every file belongs to; files of different campaigns are not merged.
Result<CampaignRecord> shared_campaign(const Collected& collected) {
  if (collected.campaigns.empty()) {
    return std::unexpected(
        Error("No results file ends with its campaign's record, so the range is unknown (a process "
              "that was killed writes none)"));
  }
  const auto& [first, first_place] = collected.campaigns.front();
  for (const auto& [other, place] : collected.campaigns) {
    if (other.seeds != first.seeds || other.profile != first.profile ||
        other.strict != first.strict) {
      return std::unexpected(Error("Results of different campaigns: '" + first_place.file.string() +
                                   "' holds seeds " + range_text(first.seeds) + " of profile " +
                                   first.profile + (first.strict ? " strict" : "") + ", '" +
                                   place.file.string() + "' seeds " + range_text(other.seeds) +
                                   " of profile " + other.profile +
                                   (other.strict ? " strict" : "")));
    }
  }
  return first;
}

Result<void> check_coverage(const Collected& collected,
                            const std::pair<std::uint64_t, std::uint64_t>& range) {
  const std::string range_words = "the campaign's seeds " + range_text(range);
  const auto& seeds = collected.seeds;
  const auto outside = [&](const auto& entry) {
    return std::unexpected(Error("Seed " + std::to_string(entry.first) + " of " +
                                 entry.second.second.text() + " is outside " + range_words));
  };
  if (!seeds.empty() && seeds.begin()->first < range.first) return outside(*seeds.begin());
  if (!seeds.empty() && seeds.rbegin()->first > range.second) return outside(*seeds.rbegin());
  // Every seed is in the range and none twice, so all are there when they are as many.
  const std::uint64_t span = range.second - range.first;
  const std::uint64_t found = seeds.size();
  if (found > 0 && found - 1 == span) return {};
  std::uint64_t missing = range.first;
  for (const auto& entry : seeds) {
    if (entry.first != missing) break;
    ++missing;
  }
  // found <= span here, so the count of the other missing seeds cannot overflow.
  const std::uint64_t others = span - found;
  return std::unexpected(
      Error("Seed " + std::to_string(missing) + " of " + range_words + " has no result" +
            (others == 0 ? std::string() : " (nor " + std::to_string(others) + " other seeds)")));
}

}  // namespace

Result<MergedCampaign> merge_results(std::span<const std::filesystem::path> files) {
  Collected collected;
  for (const auto& file : files) {
    if (auto read = read_file(file, collected); !read) return std::unexpected(read.error());
  }
  auto campaign = shared_campaign(collected);
  if (!campaign) return std::unexpected(std::move(campaign.error()));
  if (collected.doubled) return std::unexpected(std::move(*collected.doubled));
  if (auto covered = check_coverage(collected, campaign->seeds); !covered) {
    return std::unexpected(std::move(covered.error()));
  }
  MergedCampaign merged;
  merged.campaign = std::move(*campaign);
  merged.campaign.shard.reset();
  CampaignResult& totals = merged.campaign.totals;
  totals = {};
  for (const auto& [record, place] : collected.campaigns) {
    totals.jobs += record.totals.jobs;
    totals.elapsed = std::max(totals.elapsed, record.totals.elapsed);
  }
  merged.seeds.reserve(collected.seeds.size());
  for (auto& [seed, entry] : collected.seeds) {
    add_seed(totals, entry.first);
    merged.seeds.push_back(std::move(entry.first));
  }
  return merged;
}

}  // namespace kivo::stress::campaign
