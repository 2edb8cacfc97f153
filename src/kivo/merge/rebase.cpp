#include "kivo/merge.hpp"

namespace kivo::merge {
namespace {

// One axis: the offset within the source span, scaled onto the target span.
double rebase_axis(double value, double source_start, double source_span, double target_start,
                   double target_span) {
  return target_start + ((value - source_start) / source_span) * target_span;
}

std::expected<void, AppError> rebase_vertex(Element& vertex, const InputBounds& source,
                                            const InputBounds& target) {
  auto x = parse_required_attr_f64(vertex, "x", "SliceMask point");
  if (!x) return std::unexpected(x.error());
  auto y = parse_required_attr_f64(vertex, "y", "SliceMask point");
  if (!y) return std::unexpected(y.error());
  vertex.set_attr("x",
                  format_decimal(rebase_axis(*x, source.x, source.width, target.x, target.width)));
  vertex.set_attr(
      "y", format_decimal(rebase_axis(*y, source.y, source.height, target.y, target.height)));
  return {};
}

}  // namespace

std::expected<void, AppError> rebase_mask_coordinates_rec(Element& element,
                                                          const InputBounds& source,
                                                          const InputBounds& target) {
  if (element.name == "v") {
    if (auto rebased = rebase_vertex(element, source, target); !rebased) return rebased;
  }
  for (XMLNode& node : element.children) {
    Element* child = node.as_element();
    if (!child) continue;
    if (auto rebased = rebase_mask_coordinates_rec(*child, source, target); !rebased) {
      return rebased;
    }
  }
  return {};
}

}  // namespace kivo::merge
