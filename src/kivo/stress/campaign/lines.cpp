#include <cstdio>

#include "kivo/stress/campaign.hpp"

namespace kivo::stress::campaign {

std::string closing_line(const runner::StressRunSummary& summary) {
  return "Stress run complete profile=" + summary.profile +
         " seed=" + std::to_string(summary.seed) + " docs=" + std::to_string(summary.docs) +
         " pairs=" + std::to_string(summary.pairs) +
         " attempted=" + std::to_string(summary.attempted) +
         " succeeded=" + std::to_string(summary.succeeded);
}

std::string failure_line(const Error& error) {
  return "kivo_stress failed: " + error.display_chain() + "\n";
}

std::string campaign_line(const StressConfig& config, const CampaignResult& result,
                          std::string_view ended) {
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.3f", result.elapsed.count());
  const auto [first, last] = config.seeds.value_or(std::pair{config.seed, config.seed});
  const std::string shard = config.shard ? " shard=" + std::to_string(config.shard->first) + "/" +
                                               std::to_string(config.shard->second)
                                         : "";
  return "Stress campaign " + std::string(ended) + " seeds=" + std::to_string(first) + ".." +
         std::to_string(last) + shard + " jobs=" + std::to_string(result.jobs) +
         " runs=" + std::to_string(result.runs) + " failed=" + std::to_string(result.failed) +
         " attempted=" + std::to_string(result.attempted) +
         " succeeded=" + std::to_string(result.succeeded) + " elapsed=" + elapsed + "s";
}

}  // namespace kivo::stress::campaign
