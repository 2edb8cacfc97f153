#pragma once

#include <span>

#include "kivo/element.hpp"

// The planner's own view of preset paths, kept apart from the engine it judges.
namespace kivo::stress::runner {

/// The root's first `ScreenSetup`, then its first `screens`; nullptr when either is missing.
const Element* screens_list(std::span<const XMLNode> root_children);

}  // namespace kivo::stress::runner
