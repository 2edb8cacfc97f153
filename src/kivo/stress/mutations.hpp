#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/stress/rng.hpp"

namespace kivo::stress::mutations {

/// An element name with the element's "uniqueId": a layer reference or an identity reference.
struct TaggedId {
  std::string tag;
  std::string id;

  friend bool operator==(const TaggedId&, const TaggedId&) = default;
};

// Numbers.

/// Attribute `name` of `element` parsed as a decimal real; none when absent or not a number.
std::optional<double> parse_attr_f64(const Element& element, std::string_view name);
/// Six decimals at most, trailing zeros dropped; magnitudes below 0.0001 become "0.0001",
/// and so do NaN and the infinities.
std::string format_decimal(double value);

// Searches (pre-order: an element before its children, children in document order).

/// Appends (name, "uniqueId") of every "Slice" and "Mask" element that has a "uniqueId".
void collect_layer_refs_rec(const Element& element, std::vector<TaggedId>& out);
/// Appends the "uniqueId" of every element named `tag` that has one.
void collect_ids_by_tag_rec(const Element& element, std::string_view tag,
                            std::vector<std::string>& out);
/// Appends (name, "uniqueId") of every "Mask", "Slice" and "Screen" element that has a "uniqueId".
void collect_ids_with_tags_rec(const Element& element, std::vector<TaggedId>& out);
/// First element of the subtree named `tag` whose "uniqueId" equals `unique_id`, or nullptr.
const Element* find_element_by_unique_id_tag(const Element& root, std::string_view unique_id,
                                             std::string_view tag);
/// First element of the subtree named `tag` whose "uniqueId" equals `unique_id`, or nullptr.
Element* find_element_mut_by_unique_id_tag(Element& root, std::string_view unique_id,
                                           std::string_view tag);
/// First "Params" element of `children` whose "name" equals `group`, or nullptr.
const Element* params_by_name(std::span<const XMLNode> children, std::string_view group);
/// "value" of the first "Param" element of `children` named `name` that has a "value".
std::optional<std::string> find_param_value(std::span<const XMLNode> children,
                                            std::string_view name);

// Geometry.

/// Moves every point of one random "InputRect" or "OutputRect" of one layer by up to 40 units
/// on each axis (one choice, then two draws per movable point).
void perturb_rect(Element& root, Rng& rng);
/// Scales every point anywhere under `mask` by its own factor from [0.85, 1.15) (one draw per
/// scalable point).
void perturb_mask(Element& mask, Rng& rng);

// Identities and mutation steps.

/// Fresh identities over the subtree: "uniqueId" becomes "stress-u-" and 16 hex digits, "idHash"
/// 16 hex digits, each from one `next_u64`; missing attributes stay missing.
void remap_ids_in_subtree(Element& element, Rng& rng);
/// Applies `count` random edit steps to `root`; `invalid_bias` (clamped to [0, 1]) is the chance
/// that a step of the identity kind breaks an identity.
void apply_random_mutations(Element& root, Rng& rng, std::uint64_t count, double invalid_bias);
/// Strict runs only: `count` edits with names and content the ordinary corpus never holds
/// (markup characters and line breaks in names, copy suffixes, DmxScreens named like Screens,
/// text, CDATA and comments among elements).
void apply_strict_edits(Element& root, Rng& rng, std::uint64_t count);

}  // namespace kivo::stress::mutations
