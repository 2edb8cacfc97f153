// What pasting an input mask from one slice onto another must produce.
#include <cmath>
#include <limits>

#include "kivo/stress/oracle/copies.hpp"
#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle::detail {
namespace {

struct Box {
  double x = 0, y = 0, width = 0, height = 0;
};

// A refusal text, or the value.
template <class T>
struct Checked {
  std::optional<std::string> refusal;
  T value{};
};

std::string invalid(const std::string& text) { return "error:Validation failed: " + text; }

Checked<double> coordinate(const Element& vertex, const char* axis, const char* context) {
  const std::string* text = vertex.attr(axis);
  if (!text) return {invalid("Missing '" + std::string(axis) + "' in " + context + "."), 0};
  auto value = read_real(*text);
  if (!value) {
    return {
        invalid("Invalid '" + std::string(axis) + "' value '" + *text + "' in " + context + "."),
        0};
  }
  return {std::nullopt, *value};
}

std::string slice_problem(std::string_view id, const char* problem) {
  return invalid("Slice '" + std::string(id) + "' has " + problem + ", cannot paste input mask.");
}

Checked<Box> input_box(const Element& slice, std::string_view id) {
  auto rect = first_child(slice, "InputRect");
  if (!rect) return {slice_problem(id, "no InputRect"), {}};
  constexpr double kInf = std::numeric_limits<double>::infinity();
  double min_x = kInf, min_y = kInf, max_x = -kInf, max_y = -kInf;
  int count = 0;
  for (const XMLNode& node : slice.children[*rect].as_element()->children) {
    const Element* v = node.as_element();
    if (!v || v->name != "v") continue;
    auto x = coordinate(*v, "x", "InputRect point");
    if (x.refusal) return {x.refusal, {}};
    auto y = coordinate(*v, "y", "InputRect point");
    if (y.refusal) return {y.refusal, {}};
    min_x = std::fmin(min_x, x.value);
    max_x = std::fmax(max_x, x.value);
    min_y = std::fmin(min_y, y.value);
    max_y = std::fmax(max_y, y.value);
    ++count;
  }
  if (count < 2) return {slice_problem(id, "invalid InputRect geometry"), {}};
  if (std::fabs(max_x - min_x) < 1e-6 || std::fabs(max_y - min_y) < 1e-6) {
    return {slice_problem(id, "zero-size InputRect"), {}};
  }
  const Box box{min_x, min_y, max_x - min_x, max_y - min_y};
  // A box without finite extent cannot take a mask.
  if (!std::isfinite(box.x) || !std::isfinite(box.y) || !std::isfinite(box.width) ||
      !std::isfinite(box.height)) {
    return {slice_problem(id, "invalid InputRect geometry"), {}};
  }
  return {std::nullopt, box};
}

std::optional<std::string> aspect_refusal(const Box& from, const Box& onto) {
  const double a = from.width / from.height;
  const double b = onto.width / onto.height;
  const double ratio = a > b ? a / b : b / a;
  if (!(ratio > 1.35)) return std::nullopt;
  return invalid(
      "Input mask paste blocked: source and target slice aspect ratios are too different (" +
      three_decimals(a) + " vs " + three_decimals(b) + ").");
}

std::optional<std::string> rebase(Element& element, const Box& from, const Box& onto) {
  if (element.name == "v") {
    auto x = coordinate(element, "x", "SliceMask point");
    if (x.refusal) return x.refusal;
    auto y = coordinate(element, "y", "SliceMask point");
    if (y.refusal) return y.refusal;
    element.set_attr("x", six_decimals(onto.x + ((x.value - from.x) / from.width) * onto.width));
    element.set_attr("y", six_decimals(onto.y + ((y.value - from.y) / from.height) * onto.height));
  }
  for (XMLNode& node : element.children) {
    if (Element* child = node.as_element()) {
      if (auto refusal = rebase(*child, from, onto)) return refusal;
    }
  }
  return std::nullopt;
}

Expectation refused(std::string outcome) {
  Expectation expectation;
  expectation.refusal = std::move(outcome);
  return expectation;
}

}  // namespace

Expectation expect_mask_paste(const Element& source, const Element& target,
                              const StressOperation::InputMask& paste) {
  const Located from = find_slice(source, paste.source_slice_unique_id);
  if (!from.element) return refused("error:Source node not found");
  auto mask = first_child(*from.element, "SliceMask");
  if (!mask) return refused(invalid("Source slice has no input mask to copy."));
  auto from_box = input_box(*from.element, paste.source_slice_unique_id);
  if (from_box.refusal) return refused(*from_box.refusal);
  const Located onto = find_slice(target, paste.target_slice_unique_id);
  if (!onto.element) return refused("error:Target screen not found");
  auto existing = first_child(*onto.element, "SliceMask");
  auto onto_box = input_box(*onto.element, paste.target_slice_unique_id);
  if (onto_box.refusal) return refused(*onto_box.refusal);
  if (existing && !paste.allow_overwrite) {
    return refused(invalid("Target slice already has an input mask. Confirm overwrite and retry."));
  }
  if (auto refusal = aspect_refusal(from_box.value, onto_box.value)) return refused(*refusal);
  Expectation expectation;
  expectation.subtree = *from.element->children[*mask].as_element();
  if (auto refusal = rebase(expectation.subtree, from_box.value, onto_box.value)) {
    return refused(*refusal);
  }
  renumber(expectation.subtree, target, expectation.unique_id_map, expectation.id_hash_map);
  expectation.parent = onto.path;
  expectation.replaces = existing.has_value();
  expectation.position = existing ? *existing : onto.element->children.size();
  if (existing) {
    expectation.messages.push_back("Overwrote existing input mask on target slice '" +
                                   paste.target_slice_unique_id + "'.");
  }
  return expectation;
}

}  // namespace kivo::stress::oracle::detail
