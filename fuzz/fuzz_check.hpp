#pragma once

// What a fuzz target does when a property it demands does not hold: report and abort, so
// libFuzzer keeps the input as a crash.

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kivo::fuzz {

[[noreturn]] inline void violated(std::string_view property, std::string_view detail = {}) {
  std::fprintf(stderr, "fuzz property violated: %.*s\n%.*s\n", static_cast<int>(property.size()),
               property.data(), static_cast<int>(detail.size()), detail.data());
  std::abort();
}

inline void demand(bool holds, std::string_view property, std::string_view detail = {}) {
  if (!holds) violated(property, detail);
}

}  // namespace kivo::fuzz
