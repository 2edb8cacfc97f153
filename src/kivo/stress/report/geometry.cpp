// The outlines of a screen's layers as the preset holds them, read without the engine's code.
#include <charconv>
#include <cmath>
#include <limits>

#include "kivo/stress/report.hpp"

namespace kivo::stress::report {
namespace {

// Beyond this an outline cannot be drawn to scale beside ordinary ones.
constexpr double kLargest = 1e12;

double coordinate(const Element& vertex, std::string_view axis) {
  const std::string* text = vertex.attr(axis);
  if (!text) return std::numeric_limits<double>::quiet_NaN();
  std::string_view digits = *text;
  if (digits.starts_with('+')) digits.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error == std::errc::result_out_of_range) {
    return digits.starts_with('-') ? -std::numeric_limits<double>::infinity()
                                   : std::numeric_limits<double>::infinity();
  }
  if (error != std::errc() || end != digits.data() + digits.size()) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return value;
}

std::vector<Point> vertices(const Element& outline) {
  std::vector<Point> points;
  for (const XMLNode& child : outline.children) {
    const Element* vertex = child.as_element();
    if (vertex && vertex->name == "v") {
      points.push_back({coordinate(*vertex, "x"), coordinate(*vertex, "y")});
    }
  }
  return points;
}

void add_shape(std::vector<Shape>& out, const Element& layer, const std::string& label,
               std::string part, Space space, const Element* outline) {
  if (!outline) return;
  const std::string* id = layer.attr("uniqueId");
  out.push_back({id ? *id : "", label, std::move(part), space, vertices(*outline), false});
}

void layer_shapes(const Element& layer, std::vector<Shape>& out) {
  const std::string* id = layer.attr("uniqueId");
  const auto name = display_name(layer);
  const std::string label =
      layer.name.str() + (name ? " '" + *name + "'" : "") + (id ? " #" + *id : "");
  add_shape(out, layer, label, "input", Space::Input,
            oracle::first_child_named(layer, "InputRect"));
  if (const Element* mask = oracle::first_child_named(layer, "SliceMask")) {
    add_shape(out, layer, label, "mask", Space::Input, oracle::first_child_named(*mask, "Rect"));
  }
  add_shape(out, layer, label, "mask", Space::Input, oracle::first_child_named(layer, "Contour"));
  add_shape(out, layer, label, "output", Space::Output,
            oracle::first_child_named(layer, "OutputRect"));
}

bool same_points(const std::vector<Point>& a, const std::vector<Point>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    // NaN never equals itself; two NaN coordinates are the same drawing.
    const bool x_same = a[i].x == b[i].x || (std::isnan(a[i].x) && std::isnan(b[i].x));
    const bool y_same = a[i].y == b[i].y || (std::isnan(a[i].y) && std::isnan(b[i].y));
    if (!x_same || !y_same) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> degenerate_kind(const std::vector<Point>& points) {
  if (points.empty()) return "empty";
  bool any_nan = false, any_infinite = false, any_large = false;
  for (const Point& p : points) {
    any_nan = any_nan || std::isnan(p.x) || std::isnan(p.y);
    any_infinite = any_infinite || std::isinf(p.x) || std::isinf(p.y);
    any_large = any_large || std::fabs(p.x) > kLargest || std::fabs(p.y) > kLargest;
  }
  if (any_nan) return "NaN coordinates";
  if (any_infinite) return "infinite coordinates";
  if (any_large) return "coordinates too large";
  for (const Point& p : points) {
    if (p.x != points.front().x || p.y != points.front().y) return std::nullopt;
  }
  return "single point";
}

std::vector<Shape> screen_shapes(const Element& screen) {
  std::vector<Shape> shapes;
  const Element* layers = oracle::first_child_named(screen, "layers");
  if (!layers) return shapes;
  for (const XMLNode& child : layers->children) {
    const Element* layer = child.as_element();
    if (layer && (layer->name == "Slice" || layer->name == "Mask")) layer_shapes(*layer, shapes);
  }
  return shapes;
}

void mark_changed(std::vector<Shape>& shapes, const std::vector<Shape>& compared) {
  for (Shape& shape : shapes) {
    shape.changed = true;
    for (const Shape& other : compared) {
      if (other.layer_id == shape.layer_id && other.part == shape.part) {
        shape.changed = !same_points(shape.points, other.points);
        break;
      }
    }
  }
}

}  // namespace kivo::stress::report
