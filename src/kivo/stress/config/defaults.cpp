#include "kivo/stress/config.hpp"

namespace kivo::stress {
namespace {

constexpr std::uint64_t kDefaultSeed = 0xA0572E;

struct ProfileCounts {
  std::uint64_t docs;
  std::uint64_t pairs;
  std::uint64_t ops_per_pair;
  double invalid_rate;
};

ProfileCounts counts_for(StressProfile profile) {
  switch (profile.value()) {
    case StressProfile::Balanced:
      return {80, 300, 8, 0.1};
    case StressProfile::Deep:
      return {140, 650, 10, 0.14};
    case StressProfile::Fast:
      break;
  }
  return {40, 100, 6, 0.08};
}

}  // namespace

std::string_view project_dir() { return KIVO_PROJECT_DIR; }

StressConfig default_for_profile(StressProfile profile) {
  const ProfileCounts counts = counts_for(profile);
  const std::filesystem::path base(project_dir());
  StressConfig config;
  config.profile = profile;
  config.seed = kDefaultSeed;
  config.template_path = base / "../Sample_files/fully_loaded.xml";
  config.docs = counts.docs;
  config.pairs = counts.pairs;
  config.ops_per_pair = counts.ops_per_pair;
  config.invalid_rate = counts.invalid_rate;
  config.out_dir = base / "../devtools_output/stress";
  return config;
}

}  // namespace kivo::stress
