#pragma once

// Census faults planted into the differential target from its environment, so that one binary
// measures how fast the oracle catches each fault.

namespace kivo::fuzz {

/// With KIVO_LIST_PLANTED_FAULTS set, prints one census fault a line (its kind: "engine",
/// "writer", "reader" or "validation", a tab, the name) and exits; with KIVO_PLANTED_FAULT set, plants the fault of that exact name for
/// the rest of the process, or aborts when the census has none of that name.
void plant_from_environment();

}  // namespace kivo::fuzz
