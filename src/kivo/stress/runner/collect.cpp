#include <cmath>
#include <limits>

#include "kivo/number_text.hpp"
#include "kivo/stress/runner.hpp"
#include "kivo/stress/runner/tree_paths.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress::runner {
namespace {

constexpr double kMinimumSpan = 0.000001;

// Width over height of the slice's input rectangle, when every point reads and both spans are
// finite and above the minimum (the engine refuses anything else before it looks at aspects).
std::optional<double> input_aspect(const Element& slice) {
  const Element* rect = xml_utils::child(slice, "InputRect");
  if (!rect) return std::nullopt;
  double min_x = std::numeric_limits<double>::infinity(), min_y = min_x;
  double max_x = -min_x, max_y = -min_x;
  std::size_t points = 0;
  for (const auto& node : rect->children) {
    const Element* v = node.as_element();
    if (!v || v->name != "v") continue;
    const std::string* x_text = v->attr("x");
    const std::string* y_text = v->attr("y");
    if (!x_text || !y_text) return std::nullopt;
    auto x = parse_f64(*x_text);
    auto y = parse_f64(*y_text);
    if (!x || !y) return std::nullopt;
    min_x = std::fmin(min_x, *x);
    max_x = std::fmax(max_x, *x);
    min_y = std::fmin(min_y, *y);
    max_y = std::fmax(max_y, *y);
    ++points;
  }
  const double width = max_x - min_x;
  const double height = max_y - min_y;
  if (points < 2 || !std::isfinite(width) || !std::isfinite(height)) return std::nullopt;
  if (!(width > kMinimumSpan) || !(height > kMinimumSpan)) return std::nullopt;
  return width / height;
}

void add_slices_of_screen(const Element& screen, std::vector<SliceInfo>& out) {
  const Element* layers = xml_utils::child(screen, "layers");
  if (!layers) return;
  for (const auto& node : layers->children) {
    const Element* slice = node.as_element();
    if (!slice || slice->name != "Slice") continue;
    const std::string* id = slice->attr("uniqueId");
    if (!id) continue;
    out.push_back({input_aspect(*slice), *id, xml_utils::child(*slice, "SliceMask") != nullptr});
  }
}

}  // namespace

const Element* screens_list(std::span<const XMLNode> root_children) {
  for (const auto& node : root_children) {
    const Element* setup = node.as_element();
    if (setup && setup->name == "ScreenSetup") return xml_utils::child(*setup, "screens");
  }
  return nullptr;
}

std::vector<SliceInfo> collect_slices(std::span<const XMLNode> root_children) {
  std::vector<SliceInfo> slices;
  const Element* screens = screens_list(root_children);
  if (!screens) return slices;
  for (const auto& node : screens->children) {
    const Element* screen = node.as_element();
    if (screen && screen->name == "Screen") add_slices_of_screen(*screen, slices);
  }
  return slices;
}

void collect_screen_ids_rec(const Element& element, std::vector<std::string>& out) {
  if (element.name == "Screen") {
    if (const std::string* id = element.attr("uniqueId")) out.push_back(*id);
  }
  for (const auto& node : element.children) {
    if (const Element* child = node.as_element()) collect_screen_ids_rec(*child, out);
  }
}

}  // namespace kivo::stress::runner
