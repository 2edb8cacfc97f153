#include "kivo/stress/artifacts/profile_text.hpp"

namespace kivo::stress::artifacts {

std::string_view profile_text(StressProfile profile) {
  switch (profile.value()) {
    case StressProfile::Fast:
      return "fast";
    case StressProfile::Balanced:
      return "balanced";
    case StressProfile::Deep:
      return "deep";
  }
  return "fast";
}

std::optional<StressProfile> profile_from_text(std::string_view text) {
  for (StressProfile profile :
       {StressProfile::Fast, StressProfile::Balanced, StressProfile::Deep}) {
    if (profile_text(profile) == text) return profile;
  }
  return std::nullopt;
}

}  // namespace kivo::stress::artifacts
