#include "kivo/stress/runner.hpp"

namespace kivo::stress::runner {

Result<StressRunSummary> run(const StressConfig&) {
  return std::unexpected(Error("The stress run mode is not built yet."));
}

}  // namespace kivo::stress::runner
