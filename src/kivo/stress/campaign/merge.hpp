#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "kivo/stress/campaign.hpp"
#include "kivo/stress/campaign/results.hpp"

namespace kivo::stress::campaign {

/// One campaign put together from the results files of its shards.
struct MergedCampaign {
  /// The range, profile and strictness the shards share; the totals (statistics included) as one
  /// campaign over the range counts them, `jobs` the shards' sum, `elapsed` the longest shard's.
  CampaignRecord campaign;
  /// Every seed of the range, in seed order.
  std::vector<SeedRecord> seeds;
};

/// Reads `files` and checks that together they hold every seed of one campaign's range exactly
/// once; a missing or doubled seed, a file that cannot be read or a line that is not a record is
/// an error naming it.
Result<MergedCampaign> merge_results(std::span<const std::filesystem::path> files);

/// The JUnit XML report of `merged`: one test case per seed, a failure with its message and case
/// directory for each failing seed.
Result<std::string> junit_xml(const MergedCampaign& merged);

}  // namespace kivo::stress::campaign
