#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "kivo/element.hpp"

// The renaming steps `apply_copy` runs on a detached copy before inserting it.
namespace kivo::merge::detail {

/// Display names of the `Screen` elements of the target's screens list.
std::unordered_set<std::string> collect_screen_names(const Element& target_root);

/// Gives a copied screen a name free among `taken`, noting a rename in `messages`.
void rename_copied_screen(Element& copy, const std::unordered_set<std::string>& taken,
                          std::vector<std::string>& messages);

/// Gives a copied `tag` layer a name free among `taken`, noting a rename in `messages`.
void rename_copied_layer(Element& copy, std::string_view tag,
                         const std::unordered_set<std::string>& taken,
                         std::vector<std::string>& messages);

}  // namespace kivo::merge::detail
