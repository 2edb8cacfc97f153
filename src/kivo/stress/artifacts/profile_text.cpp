#include "kivo/stress/artifacts/profile_text.hpp"

namespace kivo::stress::artifacts {

std::optional<StressProfile> profile_from_text(std::string_view text) {
  for (StressProfile profile :
       {StressProfile::Fast, StressProfile::Balanced, StressProfile::Deep}) {
    if (profile.name() == text) return profile;
  }
  return std::nullopt;
}

}  // namespace kivo::stress::artifacts
