#pragma once

// The mutation steps behind `apply_random_mutations`, one per kind. Each collects what it needs
// from the document as it is now and does nothing once something it needs is missing; draws made
// up to that point stay consumed.

#include <string>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/stress/rng.hpp"

namespace kivo::stress::mutations::steps {

/// Kind 0: a random screen gets the name "Screen <n>".
void rename_screen(Element& root, Rng& rng);
/// Kind 1: a random layer's "Common" name becomes "<tag> <n>".
void rename_layer(Element& root, Rng& rng);
/// Kind 2: flips the "Enabled" parameter of a random screen or layer.
void toggle_enabled(Element& root, Rng& rng);
/// Kind 4: removes a layer of a random screen, or appends a renamed copy with fresh identities.
void remove_or_duplicate_layer(Element& root, Rng& rng);
/// Kind 5: removes, reshapes or adds the input mask of a random slice.
void edit_slice_mask(Element& root, Rng& rng);
/// Kind 6: copies the name of one screen (or layer) onto another.
void collide_names(Element& root, Rng& rng);
/// Kind 7, identity branch: removes or duplicates a random "uniqueId".
void break_identity(Element& root, Rng& rng);

/// The "uniqueId" values of all screens, in document order.
std::vector<std::string> screen_ids(const Element& root);
/// max(value, 0) that also sends NaN and -0 to +0.
double non_negative(double value);
/// A uniform number from 1 to 9999 for a new name.
std::string name_number(Rng& rng);

}  // namespace kivo::stress::mutations::steps
