#pragma once

#include <nlohmann/json.hpp>

#include "kivo/stress/stats.hpp"

namespace kivo::stress::stats {

/// The unit of a family's slowest step: "slowestStepMicros" or "slowestStepNanos".
enum class DurationUnit : std::uint8_t { Micros, Nanos };

/// One object per family, in family order: its counts, its slowest step's duration in `unit` and
/// where that step ran (`null` for both where nothing ran).
nlohmann::ordered_json families_json(const RunStats& stats, DurationUnit unit);

}  // namespace kivo::stress::stats
