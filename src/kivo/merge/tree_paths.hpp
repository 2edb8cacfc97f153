#pragma once

#include <span>
#include <string_view>

#include "kivo/element.hpp"

// Internal lookups shared by the copy engine's files.
namespace kivo::merge::detail {

/// First element among `children` named `name`, or nullptr.
const Element* first_child_named(std::span<const XMLNode> children, std::string_view name);
/// First element among `children` named `name`, or nullptr.
Element* first_child_named_mut(std::span<XMLNode> children, std::string_view name);

/// The root's first `ScreenSetup`, then its first `screens`; nullptr when either is missing.
const Element* screens_list(std::span<const XMLNode> root_children);
/// The root's first `ScreenSetup`, then its first `screens`; nullptr when either is missing.
Element* screens_list_mut(std::span<XMLNode> root_children);

/// The slice `find_slice` finds, modifiable.
Element* find_slice_mut(std::span<XMLNode> root_children, std::string_view id);

/// True when `element` carries a "uniqueId" equal to `id`.
bool has_unique_id(const Element& element, std::string_view id);

}  // namespace kivo::merge::detail
