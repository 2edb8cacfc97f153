#pragma once

// The situation kinds, each building one kind of situation into a document; a kind that finds
// nothing to work on does nothing.

#include "kivo/element.hpp"
#include "kivo/stress/rng.hpp"

namespace kivo::stress::situations::detail {

// Geometry.
/// A slice's input rectangle sized so that its aspect ratio is on, or next to, the paste's limit.
void aspect_ladder(Element& root, Rng& rng);
/// A slice on a small square with a mask whose coordinates test the number reader and writer.
void boundary_mask(Element& root, Rng& rng);
/// A slice's input rectangle at the zero-size limit, or holding no finite number.
void degenerate_rect(Element& root, Rng& rng);
/// Every slice of the document given one of a sweep of shapes on and next to the limits.
void geometry_sweep(Element& root, Rng& rng);

// Identifiers.
/// uniqueId and idHash renumbered from small, overlapping ranges.
void overlap_ids(Element& root, Rng& rng);
/// No numeric uniqueId, or no (numeric) idHash, in the whole document.
void no_numeric_ids(Element& root, Rng& rng);
/// Identifiers at 0, 1, the counter's end and next to it, with signs, zeros and spaces.
void extreme_ids(Element& root, Rng& rng);
/// The largest identifiers written with a sign or leading zeros; they still set the counter.
void signed_largest(Element& root, Rng& rng);
/// Screens, layers and masks without a uniqueId.
void missing_identifiers(Element& root, Rng& rng);
/// A layer whose subtree holds one identifier twice, or refers to its own identifier.
void repeated_in_subtree(Element& root, Rng& rng);

// Names.
/// A screen whose name attribute and "Params" Name disagree, are missing or empty.
void screen_names(Element& root, Rng& rng);
/// A layer whose "Common" Name is repeated, valueless, empty or shadowed.
void layer_names(Element& root, Rng& rng);
/// A screen's output devices of several kinds, and a second device list.
void output_devices(Element& root, Rng& rng);

// Shapes.
/// Elements written with a namespace prefix.
void prefixed(Element& root, Rng& rng);
/// Elements and attributes whose names differ from known ones only in letter case.
void case_decoys(Element& root, Rng& rng);
/// Unknown children among known ones, and known children in unusual orders.
void unusual_orders(Element& root, Rng& rng);
/// Character data and markup mixed inside elements a copy carries.
void mixed_content(Element& root, Rng& rng);
/// A screen with a second `layers` holding layers of its own.
void second_layers(Element& root, Rng& rng);
/// Layers under screens of another kind, and screens where no screen is looked for.
void other_screen_kinds(Element& root, Rng& rng);
/// A slice with two input masks.
void multiple_masks(Element& root, Rng& rng);
/// Screens lists holding comments and text, repeated or missing.
void screens_shape(Element& root, Rng& rng);

}  // namespace kivo::stress::situations::detail
