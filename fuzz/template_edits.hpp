#pragma once

// Byte-driven edits of a preset tree, so that fuzz targets reach deep into realistic presets
// instead of spending their time on XML syntax.

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "kivo/element.hpp"

namespace kivo::fuzz {

/// The bundled template, read once.
const Element& bundled_template();
/// The bundled template cut to two screens of four layers and its DmxScreen.
const Element& small_template();
/// Up to a few edits chosen by `input`: removing, duplicating and moving elements, changing
/// and removing attributes.
void apply_edits(FuzzedDataProvider& input, Element& root);
/// The uniqueId values of the tree in pre-order.
std::vector<std::string> unique_ids(const Element& root);
/// One of `ids` or a text from the input.
std::string pick_id(FuzzedDataProvider& input, const std::vector<std::string>& ids);

}  // namespace kivo::fuzz
