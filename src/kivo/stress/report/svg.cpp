// Shapes drawn to scale as inline SVG; what cannot be drawn becomes a labelled marker.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "kivo/stress/report.hpp"

namespace kivo::stress::report {
namespace {

constexpr double kWidth = 440, kPlotLeft = 64, kPlotTop = 34, kPlotWidth = 352, kPlotHeight = 240;
constexpr double kLineHeight = 16;

std::string format(const char* pattern, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, value);
  return buffer;
}

std::string text_at(Point at, std::string_view css, std::string_view anchor,
                    std::string_view text) {
  return "<text x=\"" + svg_number(at.x) + "\" y=\"" + svg_number(at.y) + "\" class=\"" +
         std::string(css) + "\" text-anchor=\"" + std::string(anchor) + "\">" + escape_html(text) +
         "</text>";
}

std::string shape_class(const Shape& shape) {
  return shape.part + (shape.changed ? " changed" : "");
}

std::string part_words(const Shape& shape) {
  if (shape.part == "input") return "input rectangle";
  if (shape.part == "mask") return "input mask";
  return "output rectangle";
}

std::string outline(const Shape& shape, const Viewport& view) {
  std::string points;
  for (const Point& p : shape.points) {
    const Point at = view.map(p);
    if (!points.empty()) points += ' ';
    points.append(svg_number(at.x)).append(1, ',').append(svg_number(at.y));
  }
  std::string svg = "<polygon class=\"" + shape_class(shape) + "\" points=\"" + points +
                    "\"><title>" + escape_html(shape.label + " " + part_words(shape)) +
                    "</title></polygon>";
  if (shape.changed) {
    svg += text_at(view.map(shape.points.front()), "label changed", "start", shape.label);
  }
  return svg;
}

std::string point_marker(const Shape& shape, const Viewport& view) {
  const Point at = view.map(shape.points.front());
  return "<circle class=\"" + shape_class(shape) + " marker\" cx=\"" + svg_number(at.x) +
         "\" cy=\"" + svg_number(at.y) + "\" r=\"4\"><title>" +
         escape_html(shape.label + " " + part_words(shape)) + "</title></circle>" +
         text_at({at.x + 6, at.y - 6}, "label", "start",
                 shape.label + " " + part_words(shape) + ": single point");
}

// A cross and a line of words under the plot, for a shape with no place in it.
std::string listed_marker(const Shape& shape, const std::string& why, double y) {
  std::string cross(1, 'M');
  cross.append(svg_number(kPlotLeft)).append(1, ',').append(svg_number(y - 9));
  cross += " l8,8 m0,-8 l-8,8";
  return "<path class=\"" + shape_class(shape) + " marker\" d=\"" + cross + "\"/>" +
         text_at({kPlotLeft + 14, y}, "label", "start",
                 shape.label + " " + part_words(shape) + ": " + why);
}

std::string axes(const Viewport& view) {
  const Bounds& b = view.bounds;
  const Point low = view.map({b.min_x, b.min_y});
  const Point high = view.map({b.max_x, b.max_y});
  std::string svg = "<rect class=\"frame\" x=\"" + svg_number(low.x) + "\" y=\"" +
                    svg_number(low.y) + "\" width=\"" + svg_number(high.x - low.x) +
                    "\" height=\"" + svg_number(high.y - low.y) + "\"/>";
  for (double t : {0.0, 0.5, 1.0}) {
    const double x = b.min_x + (b.max_x - b.min_x) * t;
    const double y = b.min_y + (b.max_y - b.min_y) * t;
    const Point px = view.map({x, b.max_y});
    const Point py = view.map({b.min_x, y});
    svg += "<line class=\"tick\" x1=\"" + svg_number(px.x) + "\" y1=\"" + svg_number(px.y) +
           "\" x2=\"" + svg_number(px.x) + "\" y2=\"" + svg_number(px.y + 4) + "\"/>";
    svg += text_at({px.x, px.y + 16}, "axis", "middle", axis_number(x));
    svg += "<line class=\"tick\" x1=\"" + svg_number(py.x - 4) + "\" y1=\"" + svg_number(py.y) +
           "\" x2=\"" + svg_number(py.x) + "\" y2=\"" + svg_number(py.y) + "\"/>";
    svg += text_at({py.x - 6, py.y + 4}, "axis", "end", axis_number(y));
  }
  svg += text_at({high.x + 18, high.y + 16}, "axis", "start", "x");
  svg += text_at({low.x - 6, high.y + 30}, "axis", "end", "y↓");
  return svg;
}

}  // namespace

Bounds bounds_of(const std::vector<const std::vector<Shape>*>& shapes, Space space) {
  bool any = false;
  Bounds b{0, 0, 0, 0};
  for (const auto* list : shapes) {
    if (!list) continue;
    for (const Shape& shape : *list) {
      if (shape.space != space) continue;
      const auto why = degenerate_kind(shape.points);
      if (why && *why != "single point") continue;
      for (const Point& p : shape.points) {
        if (!any) b = {p.x, p.y, p.x, p.y};
        any = true;
        b = {std::min(b.min_x, p.x), std::min(b.min_y, p.y), std::max(b.max_x, p.x),
             std::max(b.max_y, p.y)};
      }
    }
  }
  if (!any) return {};
  // A zero extent would divide by zero when fitted; one unit around it keeps the scale sane.
  if (b.max_x - b.min_x <= 0) b = {b.min_x - 1, b.min_y, b.max_x + 1, b.max_y};
  if (b.max_y - b.min_y <= 0) b = {b.min_x, b.min_y - 1, b.max_x, b.max_y + 1};
  return b;
}

Viewport fit(const Bounds& bounds, double left, double top, double width, double height) {
  const double scale =
      std::min(width / (bounds.max_x - bounds.min_x), height / (bounds.max_y - bounds.min_y));
  return {bounds, left, top, scale};
}

std::string svg_number(double value) {
  if (!std::isfinite(value)) return "0";
  std::string text = format("%.2f", value);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

std::string axis_number(double value) { return format("%.6g", value); }

std::string space_svg(const std::vector<Shape>& shapes, Space space, const Bounds& bounds,
                      std::string_view title) {
  const Viewport view = fit(bounds, kPlotLeft, kPlotTop, kPlotWidth, kPlotHeight);
  std::string body, listed;
  double list_y = kPlotTop + (bounds.max_y - bounds.min_y) * view.scale + 48;
  // Unchanged shapes first, so the changed ones are drawn on top.
  for (bool changed : {false, true}) {
    for (const Shape& shape : shapes) {
      if (shape.space != space || shape.changed != changed) continue;
      const auto why = degenerate_kind(shape.points);
      if (!why) {
        body += outline(shape, view);
      } else if (*why == "single point") {
        body += point_marker(shape, view);
      } else {
        listed += listed_marker(shape, *why, list_y);
        list_y += kLineHeight;
      }
    }
  }
  const double height = list_y;
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"space\" width=\"" + svg_number(kWidth) +
         "\" height=\"" + svg_number(height) + "\" viewBox=\"0 0 " + svg_number(kWidth) + " " +
         svg_number(height) + "\" role=\"img\">" +
         text_at({kPlotLeft, 18}, "title", "start", title) + axes(view) + body + listed + "</svg>";
}

}  // namespace kivo::stress::report
