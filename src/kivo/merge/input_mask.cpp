#include <algorithm>

#include "kivo/merge.hpp"
#include "kivo/merge/tree_paths.hpp"

namespace kivo::merge {
namespace {

bool is_slice_mask(const XMLNode& node) {
  const Element* element = node.as_element();
  return element && element->name == "SliceMask";
}

// Replaces the slice's first mask in place, or appends the mask after its children.
void insert_mask(Element& slice, Element mask) {
  auto existing = std::ranges::find_if(slice.children, is_slice_mask);
  if (existing != slice.children.end()) {
    existing->value = std::move(mask);
  } else {
    slice.children.push_back(XMLNode{std::move(mask)});
  }
}

}  // namespace

std::expected<model::CopyResult, AppError> apply_slice_input_mask_copy(
    const Element& source, Element& target, std::string_view source_slice_id,
    std::string_view target_slice_id, bool allow_overwrite) {
  const Element* source_slice = find_slice(source.children, source_slice_id);
  if (!source_slice) return std::unexpected(AppError::missing_source_node());
  const Element* source_mask = detail::first_child_named(source_slice->children, "SliceMask");
  if (!source_mask) {
    return std::unexpected(AppError::validation("Source slice has no input mask to copy."));
  }
  auto source_bounds = parse_slice_input_bounds(source_slice->children, source_slice_id);
  if (!source_bounds) return std::unexpected(source_bounds.error());

  Element* target_slice = detail::find_slice_mut(target.children, target_slice_id);
  if (!target_slice) return std::unexpected(AppError::missing_target_screen());
  const bool had_mask = detail::first_child_named(target_slice->children, "SliceMask") != nullptr;
  auto target_bounds = parse_slice_input_bounds(target_slice->children, target_slice_id);
  if (!target_bounds) return std::unexpected(target_bounds.error());
  if (had_mask && !allow_overwrite) {
    return std::unexpected(AppError::validation(
        "Target slice already has an input mask. Confirm overwrite and retry."));
  }

  Element mask = *source_mask;
  if (auto fits = ensure_compatible_input_aspect_ratio(source_bounds->width, source_bounds->height,
                                                       target_bounds->width, target_bounds->height);
      !fits) {
    return std::unexpected(fits.error());
  }
  if (auto rebased = rebase_mask_coordinates_rec(mask, *source_bounds, *target_bounds); !rebased) {
    return std::unexpected(rebased.error());
  }
  model::CopyResult result;
  result.remap = remap_ids_for_insert(mask, target);
  insert_mask(*target_slice, std::move(mask));
  if (had_mask) {
    result.messages.push_back("Overwrote existing input mask on target slice '" +
                              std::string(target_slice_id) + "'.");
  }
  result.completed = true;
  return result;
}

}  // namespace kivo::merge
