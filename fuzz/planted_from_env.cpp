#include "planted_from_env.hpp"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "support/census.hpp"

namespace kivo::fuzz {
namespace {

namespace census = test::census;

const char* kind_of(const census::PlantedFault& fault) {
  if (fault.corrupt) return "engine";
  if (fault.misread) return "reader";
  if (fault.misvalidate) return "validation";
  return "writer";
}

[[noreturn]] void list_faults() {
  for (const census::PlantedFault& fault : census::all_faults()) {
    std::printf("%s\t%s\n", kind_of(fault), fault.name);
  }
  std::fflush(stdout);
  std::exit(0);
}

}  // namespace

void plant_from_environment() {
  if (std::getenv("KIVO_LIST_PLANTED_FAULTS")) list_faults();
  const char* wanted = std::getenv("KIVO_PLANTED_FAULT");
  if (!wanted) return;
  // Lives as long as the process: the hooks it installs are process-wide.
  static std::optional<census::Planted> planted;
  for (const census::PlantedFault& fault : census::all_faults()) {
    if (std::string_view(fault.name) != wanted) continue;
    planted.emplace(fault);
    std::fprintf(stderr, "planted fault: %s\n", fault.name);
    return;
  }
  std::fprintf(stderr,
               "KIVO_PLANTED_FAULT names no fault of the census: '%s' "
               "(KIVO_LIST_PLANTED_FAULTS=1 lists them)\n",
               wanted);
  std::abort();
}

}  // namespace kivo::fuzz
