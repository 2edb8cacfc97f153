#pragma once

#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>

#include "kivo/element.hpp"
#include "kivo/error.hpp"
#include "kivo/model.hpp"

namespace kivo::merge {

/// Copies a screen, slice or mask from `source` into `target`; `target` changes only on success.
std::expected<model::CopyResult, AppError> apply_copy(const Element& source, Element& target,
                                                      const model::CopyOperation& request);
/// The `Screen` of the root's screens list whose uniqueId is `id`.
const Element* find_screen(std::span<const XMLNode> root_children, std::string_view id);
/// The `Screen` of the root's screens list whose uniqueId is `id`, modifiable.
Element* find_screen_mut(std::span<XMLNode> root_children, std::string_view id);
/// The first `Slice` directly under any screen's first `layers` whose uniqueId is `id`.
const Element* find_slice(std::span<const XMLNode> root_children, std::string_view id);

/// Renumbers every uniqueId/idHash of `inserted` against the whole target; returns the maps.
model::Remap remap_ids_for_insert(Element& inserted, const Element& target_root);

/// Display name of a screen ("Params" Name, else `name`, else "Screen").
std::string get_screen_name(const Element& screen);
/// Display name of a layer ("Common" Name, else its tag).
std::string get_layer_name(const Element& layer);
/// Sets the layer's "Common" Name when that parameter exists.
void set_layer_name(Element& layer, std::string_view name);
/// Display names of the `tag` layers in a screen's first `layers`.
std::unordered_set<std::string> collect_layer_names(std::span<const XMLNode> screen_children,
                                                    std::string_view tag);
/// `base`, or the first free "base (Copy)", "base (Copy N)".
std::string resolve_name_conflict(std::string_view base,
                                  const std::unordered_set<std::string>& taken);
/// Six-digit fixed decimal without trailing zeros ("0.5", "100", "inf", "NaN").
std::string format_decimal(double value);

/// Bounding box of a slice's input rectangle.
struct InputBounds {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

/// Pastes the source slice's input mask onto the target slice, rebased to its input rectangle.
std::expected<model::CopyResult, AppError> apply_slice_input_mask_copy(
    const Element& source, Element& target, std::string_view source_slice_id,
    std::string_view target_slice_id, bool allow_overwrite);
/// Attribute `name` of `element` as a number; `context` names the place in messages.
std::expected<double, AppError> parse_required_attr_f64(const Element& element,
                                                        std::string_view name,
                                                        std::string_view context);
/// Input bounds of a slice from its children.
std::expected<InputBounds, AppError> parse_slice_input_bounds(
    std::span<const XMLNode> slice_children, std::string_view slice_id);
/// Refuses aspect ratios that differ by more than a factor of 1.35.
std::expected<void, AppError> ensure_compatible_input_aspect_ratio(double source_width,
                                                                   double source_height,
                                                                   double target_width,
                                                                   double target_height);
/// Maps every "v" vertex of the subtree from the source bounds onto the target bounds.
std::expected<void, AppError> rebase_mask_coordinates_rec(Element& element,
                                                          const InputBounds& source,
                                                          const InputBounds& target);

}  // namespace kivo::merge
