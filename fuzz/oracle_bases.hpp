#pragma once

// The presets the differential target starts from. Each strict check costs time in proportion to
// the size of its documents, so most start from lean cuts of the bundled template.

#include <fuzzer/FuzzedDataProvider.h>

#include "kivo/element.hpp"

namespace kivo::fuzz {

/// A preset chosen by the input: mostly a lean cut of the bundled template or the lean small
/// template, sometimes a cut or the small template with all their content, rarely the whole.
Element oracle_base(FuzzedDataProvider& input);

}  // namespace kivo::fuzz
