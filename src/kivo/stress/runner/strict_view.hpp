#pragma once

// What the strict planner sees of a document: every child of the screens list whatever its kind,
// the layers under each (in its first `layers` and in later ones), and each slice's mask and input
// box. Read with the planner's own code, apart from the engine it plans for.

#include <optional>
#include <string>
#include <vector>

#include "kivo/element.hpp"

namespace kivo::stress::runner::strict {

/// The kinds of screens a request may meet.
enum class ScreenKind { Screen, DmxScreen, Other };

/// A slice's input box as width over height, when every vertex reads and both spans are finite.
struct InputBox {
  double x = 0, y = 0, width = 0, height = 0;
  double aspect() const { return width / height; }
};

struct LayerView {
  std::string tag;  // "Slice" or "Mask"
  std::string id;
  std::string screen_id;
  ScreenKind screen_kind = ScreenKind::Screen;
  bool in_first_layers = true;
  bool masked = false;
  /// False when a vertex of the mask lacks a coordinate or holds one that is no number.
  bool mask_readable = true;
  std::optional<InputBox> box;
};

struct ScreenView {
  std::string id;
  ScreenKind kind = ScreenKind::Screen;
  bool has_layers = false;
};

struct DocumentView {
  bool has_screens_list = false;
  std::vector<ScreenView> screens;
  std::vector<LayerView> layers;
};

/// The view of `root`; children of the screens list without a uniqueId are left out.
DocumentView view_of(const Element& root);

/// The ids of the screens of `kind` (every kind when absent).
std::vector<std::string> screen_ids(const DocumentView& view, std::optional<ScreenKind> kind);
/// The layers that satisfy `wanted`.
template <class Wanted>
std::vector<const LayerView*> layers_where(const DocumentView& view, Wanted wanted) {
  std::vector<const LayerView*> out;
  for (const LayerView& layer : view.layers) {
    if (wanted(layer)) out.push_back(&layer);
  }
  return out;
}

}  // namespace kivo::stress::runner::strict
