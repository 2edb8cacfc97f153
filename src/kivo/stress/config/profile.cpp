#include <string>

#include "kivo/stress/config.hpp"

namespace kivo::stress {

Result<StressProfile> StressProfile::from_str(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lowered == "fast") return StressProfile(Fast);
  if (lowered == "balanced") return StressProfile(Balanced);
  if (lowered == "deep") return StressProfile(Deep);
  return std::unexpected(
      Error("Unknown profile '" + std::string(text) + "'. Expected fast|balanced|deep."));
}

std::string_view StressProfile::name() const {
  switch (value_) {
    case Fast:
      return "fast";
    case Balanced:
      return "balanced";
    case Deep:
      return "deep";
  }
  return "fast";
}

}  // namespace kivo::stress
