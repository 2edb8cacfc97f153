#include <cmath>
#include <limits>

#include "kivo/merge.hpp"
#include "kivo/merge/tree_paths.hpp"
#include "kivo/number_text.hpp"

namespace kivo::merge {
namespace {

std::unexpected<AppError> slice_refusal(std::string_view slice_id, std::string_view problem) {
  return std::unexpected(AppError::validation("Slice '" + std::string(slice_id) + "' has " +
                                              std::string(problem) + ", cannot paste input mask."));
}

// Running extremes of the vertices; std::fmin/fmax keep the number when one operand is NaN.
struct Extremes {
  double min_x = std::numeric_limits<double>::infinity();
  double min_y = std::numeric_limits<double>::infinity();
  double max_x = -std::numeric_limits<double>::infinity();
  double max_y = -std::numeric_limits<double>::infinity();
  int vertices = 0;

  void add(double x, double y) {
    min_x = std::fmin(min_x, x);
    max_x = std::fmax(max_x, x);
    min_y = std::fmin(min_y, y);
    max_y = std::fmax(max_y, y);
    ++vertices;
  }
};

bool is_finite_box(const InputBounds& bounds) {
  return std::isfinite(bounds.x) && std::isfinite(bounds.y) && std::isfinite(bounds.width) &&
         std::isfinite(bounds.height);
}

}  // namespace

std::expected<double, AppError> parse_required_attr_f64(const Element& element,
                                                        std::string_view name,
                                                        std::string_view context) {
  const std::string* text = element.attr(name);
  if (!text) {
    return std::unexpected(AppError::validation("Missing '" + std::string(name) + "' in " +
                                                std::string(context) + "."));
  }
  std::optional<double> value = parse_f64(*text);
  if (!value) {
    return std::unexpected(AppError::validation("Invalid '" + std::string(name) + "' value '" +
                                                *text + "' in " + std::string(context) + "."));
  }
  return *value;
}

std::expected<InputBounds, AppError> parse_slice_input_bounds(
    std::span<const XMLNode> slice_children, std::string_view slice_id) {
  const Element* rect = detail::first_child_named(slice_children, "InputRect");
  if (!rect) return slice_refusal(slice_id, "no InputRect");
  Extremes extremes;
  for (const XMLNode& node : rect->children) {
    const Element* vertex = node.as_element();
    if (!vertex || vertex->name != "v") continue;
    auto x = parse_required_attr_f64(*vertex, "x", "InputRect point");
    if (!x) return std::unexpected(x.error());
    auto y = parse_required_attr_f64(*vertex, "y", "InputRect point");
    if (!y) return std::unexpected(y.error());
    extremes.add(*x, *y);
  }
  if (extremes.vertices < 2) return slice_refusal(slice_id, "invalid InputRect geometry");
  if (std::fabs(extremes.max_x - extremes.min_x) < 1e-6 ||
      std::fabs(extremes.max_y - extremes.min_y) < 1e-6) {
    return slice_refusal(slice_id, "zero-size InputRect");
  }
  InputBounds bounds{extremes.min_x, extremes.min_y, extremes.max_x - extremes.min_x,
                     extremes.max_y - extremes.min_y};
  // An axis whose values are all NaN or infinite leaves no usable box; pasting onto it would
  // write NaN coordinates.
  if (!is_finite_box(bounds)) return slice_refusal(slice_id, "invalid InputRect geometry");
  return bounds;
}

}  // namespace kivo::merge
