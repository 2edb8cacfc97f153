#include "kivo/stress/replay.hpp"

namespace kivo::stress::replay {

Result<ReplayResult> replay_case(const std::filesystem::path&) {
  return std::unexpected(Error("The replay mode is not built yet."));
}

}  // namespace kivo::stress::replay
