#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kivo/element.hpp"

// The planner's own view of preset paths, kept apart from the engine it judges.
namespace kivo::stress::runner {

/// The root's first `ScreenSetup`, then its first `screens`; nullptr when either is missing.
const Element* screens_list(std::span<const XMLNode> root_children);

/// A layer that can be copied: its uniqueId and that of the Screen holding it.
struct LayerCandidate {
  std::string unique_id;
  std::string screen_id;
};
/// The `tag` layers with a uniqueId under Screens with a uniqueId, in document order.
std::vector<LayerCandidate> layer_candidates(const Element& source, std::string_view tag);

}  // namespace kivo::stress::runner
