#pragma once

#include <cstdint>
#include <string>

#include "kivo/stress/config.hpp"
#include "kivo/stress/error.hpp"

namespace kivo::stress::runner {

/// The counts of a run that found no failure.
struct StressRunSummary {
  std::string profile;
  std::uint64_t seed = 0;
  std::uint64_t docs = 0;
  std::uint64_t pairs = 0;
  std::uint64_t attempted = 0;
  std::uint64_t succeeded = 0;
};

/// Runs the stress loop described by `config`; a failing step is an error naming its case.
Result<StressRunSummary> run(const StressConfig& config);

}  // namespace kivo::stress::runner
