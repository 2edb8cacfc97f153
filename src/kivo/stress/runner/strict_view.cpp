#include "kivo/stress/runner/strict_view.hpp"

#include <cmath>
#include <limits>

#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::runner::strict {
namespace {

ScreenKind kind_of(const Element& screen) {
  if (screen.name == "Screen") return ScreenKind::Screen;
  return screen.name == "DmxScreen" ? ScreenKind::DmxScreen : ScreenKind::Other;
}

bool coordinate(const Element& vertex, const char* axis, double& out) {
  const std::string* text = vertex.attr(axis);
  const auto value = text ? oracle::detail::read_real(*text) : std::nullopt;
  if (value) out = *value;
  return value.has_value();
}

std::optional<InputBox> input_box(const Element& slice) {
  const Element* rect = oracle::first_child_named(slice, "InputRect");
  if (!rect) return std::nullopt;
  constexpr double kInf = std::numeric_limits<double>::infinity();
  double min_x = kInf, min_y = kInf, max_x = -kInf, max_y = -kInf;
  int count = 0;
  for (const XMLNode& node : rect->children) {
    const Element* v = node.as_element();
    if (!v || v->name != "v") continue;
    double x = 0, y = 0;
    if (!coordinate(*v, "x", x) || !coordinate(*v, "y", y)) return std::nullopt;
    min_x = std::fmin(min_x, x);
    max_x = std::fmax(max_x, x);
    min_y = std::fmin(min_y, y);
    max_y = std::fmax(max_y, y);
    ++count;
  }
  const InputBox box{min_x, min_y, max_x - min_x, max_y - min_y};
  if (count < 2 || !std::isfinite(box.width) || !std::isfinite(box.height)) return std::nullopt;
  if (!(box.width >= 1e-6) || !(box.height >= 1e-6)) return std::nullopt;
  return box;
}

// Whether every "v" of the mask holds two coordinates that read as numbers.
bool readable(const Element& element) {
  double x = 0, y = 0;
  if (element.name == "v" && (!coordinate(element, "x", x) || !coordinate(element, "y", y))) {
    return false;
  }
  for (const XMLNode& node : element.children) {
    const Element* child = node.as_element();
    if (child && !readable(*child)) return false;
  }
  return true;
}

void add_layers(const Element& layers, const ScreenView& screen, bool first, DocumentView& view) {
  for (const XMLNode& node : layers.children) {
    const Element* layer = node.as_element();
    const std::string* id = layer ? layer->attr("uniqueId") : nullptr;
    if (!id || (layer->name != "Slice" && layer->name != "Mask")) continue;
    LayerView seen{layer->name, *id, screen.id, screen.kind, first, false, true, std::nullopt};
    if (layer->name == "Slice") {
      const Element* mask = oracle::first_child_named(*layer, "SliceMask");
      seen.masked = mask != nullptr;
      seen.mask_readable = !mask || readable(*mask);
      seen.box = input_box(*layer);
    }
    view.layers.push_back(std::move(seen));
  }
}

}  // namespace

DocumentView view_of(const Element& root) {
  DocumentView view;
  const Element* setup = oracle::first_child_named(root, "ScreenSetup");
  const Element* list = setup ? oracle::first_child_named(*setup, "screens") : nullptr;
  if (!list) return view;
  view.has_screens_list = true;
  for (const XMLNode& node : list->children) {
    const Element* screen = node.as_element();
    const std::string* id = screen ? screen->attr("uniqueId") : nullptr;
    if (!id) continue;
    ScreenView seen{*id, kind_of(*screen), false};
    bool first = true;
    for (const XMLNode& child : screen->children) {
      const Element* layers = child.as_element();
      if (!layers || layers->name != "layers") continue;
      seen.has_layers = true;
      add_layers(*layers, seen, first, view);
      first = false;
    }
    view.screens.push_back(std::move(seen));
  }
  return view;
}

std::vector<std::string> screen_ids(const DocumentView& view, std::optional<ScreenKind> kind) {
  std::vector<std::string> ids;
  for (const ScreenView& screen : view.screens) {
    if (!kind || screen.kind == *kind) ids.push_back(screen.id);
  }
  return ids;
}

}  // namespace kivo::stress::runner::strict
