#include "kivo/stress/mutations.hpp"
#include "kivo/stress/mutations/steps.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress::mutations::steps {
namespace {

std::optional<std::size_t> first_child_position(const Element& element, std::string_view name) {
  for (std::size_t i = 0; i < element.children.size(); ++i) {
    const Element* child = element.children[i].as_element();
    if (child != nullptr && child->name == name) return i;
  }
  return std::nullopt;
}

// A copy of `point` moved diagonally by one offset from [-5, 5), when both coordinates parse.
Element shifted_point(const Element& point, Rng& rng) {
  Element copy = point;
  const auto x = parse_attr_f64(copy, "x");
  const auto y = parse_attr_f64(copy, "y");
  if (x && y) {
    const double offset = rng.gen_range_f64(-5, 5);
    copy.set_attr("x", format_decimal(non_negative(*x + offset)));
    copy.set_attr("y", format_decimal(non_negative(*y + offset)));
  }
  return copy;
}

// A new "SliceMask" traced from the slice's input rectangle; none below three points.
void add_mask(Element& slice, Rng& rng) {
  const Element* input_rect = xml_utils::child(slice, "InputRect");
  if (input_rect == nullptr) return;
  Element rect = Element::make("Rect");
  for (const auto& node : input_rect->children) {
    const Element* point = node.as_element();
    if (point != nullptr && point->name == "v") {
      rect.children.push_back(XMLNode{shifted_point(*point, rng)});
    }
  }
  if (rect.children.size() < 3) return;
  Element mask = Element::make("SliceMask");
  mask.children.push_back(XMLNode{std::move(rect)});
  slice.children.push_back(XMLNode{std::move(mask)});
}

}  // namespace

void edit_slice_mask(Element& root, Rng& rng) {
  std::vector<std::string> ids;
  collect_ids_by_tag_rec(root, "Slice", ids);
  const std::string* id = rng.choose(ids);
  if (id == nullptr) return;
  Element* slice = find_element_mut_by_unique_id_tag(root, *id, "Slice");
  if (slice == nullptr) return;
  const auto mask_position = first_child_position(*slice, "SliceMask");
  if (!mask_position) return add_mask(*slice, rng);
  if (rng.gen_bool(0.35)) {
    slice->children.erase(slice->children.begin() + static_cast<std::ptrdiff_t>(*mask_position));
  } else {
    perturb_mask(*slice->children[*mask_position].as_element(), rng);
  }
}

}  // namespace kivo::stress::mutations::steps
