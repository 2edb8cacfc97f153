// What pasting an input mask from one slice onto another must produce.
#include <cmath>
#include <limits>

#include "kivo/stress/oracle/copies.hpp"
#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle::detail {
namespace {

struct Box {
  double x = 0, y = 0, width = 0, height = 0;
  bool on_zero_limit = false;  // a span exactly at the zero-size limit
};

// A refusal text with the decision behind it, or the value.
template <class T>
struct Checked {
  std::optional<std::string> refusal;
  T value{};
  Decision why = Decision::Paste;
};

std::string invalid(const std::string& text) { return "error:Validation failed: " + text; }

// The decisions of one side of the paste: the source's, or the target's.
struct Side {
  std::string_view id;
  const char* context;  // how the slice's vertices are named in messages
  Decision no_rect, few_vertices, zero_size, not_finite, coordinate_missing, coordinate_invalid;
};

constexpr Side source_side(std::string_view id) {
  return {id,
          "InputRect point",
          Decision::SourceRectMissing,
          Decision::SourceRectFewVertices,
          Decision::SourceRectZeroSize,
          Decision::SourceRectNotFinite,
          Decision::SourceCoordinateMissing,
          Decision::SourceCoordinateInvalid};
}

constexpr Side target_side(std::string_view id) {
  return {id,
          "InputRect point",
          Decision::TargetRectMissing,
          Decision::TargetRectFewVertices,
          Decision::TargetRectZeroSize,
          Decision::TargetRectNotFinite,
          Decision::TargetCoordinateMissing,
          Decision::TargetCoordinateInvalid};
}

Checked<double> coordinate(const Element& vertex, const char* axis, const char* context,
                           Decision missing, Decision invalid_number) {
  const std::string* text = vertex.attr(axis);
  if (!text)
    return {invalid("Missing '" + std::string(axis) + "' in " + context + "."), 0, missing};
  auto value = read_real(*text);
  if (!value) {
    return {
        invalid("Invalid '" + std::string(axis) + "' value '" + *text + "' in " + context + "."), 0,
        invalid_number};
  }
  return {std::nullopt, *value};
}

std::string slice_problem(std::string_view id, const char* problem) {
  return invalid("Slice '" + std::string(id) + "' has " + problem + ", cannot paste input mask.");
}

Checked<Box> input_box(const Element& slice, const Side& side, Decisions& decisions) {
  auto rect = first_child(slice, "InputRect");
  if (!rect) return {slice_problem(side.id, "no InputRect"), {}, side.no_rect};
  constexpr double kInf = std::numeric_limits<double>::infinity();
  double min_x = kInf, min_y = kInf, max_x = -kInf, max_y = -kInf;
  int count = 0;
  for (const XMLNode& node : slice.children[*rect].as_element()->children) {
    const Element* v = node.as_element();
    if (!v || !named(*v, "v")) continue;
    for (const char* axis : {"x", "y"}) {
      auto value =
          coordinate(*v, axis, side.context, side.coordinate_missing, side.coordinate_invalid);
      if (value.refusal) return {value.refusal, {}, value.why};
      if (std::isnan(value.value)) mark(decisions, Decision::NaNVertexInBox);
      double& low = *axis == 'x' ? min_x : min_y;
      double& high = *axis == 'x' ? max_x : max_y;
      low = std::fmin(low, value.value);
      high = std::fmax(high, value.value);
    }
    ++count;
  }
  if (count < 2)
    return {slice_problem(side.id, "invalid InputRect geometry"), {}, side.few_vertices};
  if (std::fabs(max_x - min_x) < 1e-6 || std::fabs(max_y - min_y) < 1e-6) {
    return {slice_problem(side.id, "zero-size InputRect"), {}, side.zero_size};
  }
  const bool on_limit = std::fabs(max_x - min_x) == 1e-6 || std::fabs(max_y - min_y) == 1e-6;
  const Box box{min_x, min_y, max_x - min_x, max_y - min_y, on_limit};
  // A box without finite extent cannot take a mask.
  if (!std::isfinite(box.x) || !std::isfinite(box.y) || !std::isfinite(box.width) ||
      !std::isfinite(box.height)) {
    return {slice_problem(side.id, "invalid InputRect geometry"), {}, side.not_finite};
  }
  return {std::nullopt, box};
}

std::optional<std::string> aspect_refusal(const Box& from, const Box& onto, Decisions& decisions) {
  const double a = from.width / from.height;
  const double b = onto.width / onto.height;
  const double ratio = a > b ? a / b : b / a;
  const bool near = std::fabs(ratio - 1.35) <= 0.011;
  if (!(ratio > 1.35)) {
    if (ratio == 1.35) mark(decisions, Decision::AspectAtLimit);
    if (near && ratio != 1.35) mark(decisions, Decision::AspectNearLimit);
    return std::nullopt;
  }
  mark(decisions, Decision::AspectRefused);
  if (near) mark(decisions, Decision::AspectRefusedNearLimit);
  return invalid(
      "Input mask paste blocked: source and target slice aspect ratios are too different (" +
      three_decimals(a) + " vs " + three_decimals(b) + ").");
}

// The cases of number writing a rebased coordinate meets.
void mark_written(double value, Decisions& decisions) {
  if (std::isnan(value)) return mark(decisions, Decision::NaNWritten);
  if (std::isinf(value)) return mark(decisions, Decision::InfinityWritten);
  if (value < 0 && value > -5e-7) mark(decisions, Decision::TinyNegativeWritten);
  if (std::fabs(value) >= 1e15) mark(decisions, Decision::HugeWritten);
  const double scaled = std::fabs(value) * 1e6;
  if (scaled < 1e15 && std::fabs(scaled - std::floor(scaled) - 0.5) < 1e-6) {
    mark(decisions, Decision::NearTieWritten);
  }
}

std::optional<std::string> rebase(Element& element, const Box& from, const Box& onto,
                                  std::size_t depth, Decisions& decisions) {
  if (named(element, "v")) {
    Checked<double> point[2];
    for (int axis = 0; axis < 2; ++axis) {
      point[axis] = coordinate(element, axis == 0 ? "x" : "y", "SliceMask point",
                               Decision::MaskVertexMissing, Decision::MaskVertexInvalid);
      if (!point[axis].refusal) continue;
      mark(decisions, point[axis].why);
      return point[axis].refusal;
    }
    const Checked<double>&x = point[0], &y = point[1];
    if (depth == 1) mark(decisions, Decision::VertexDirectlyInMask);
    if (depth > 2) mark(decisions, Decision::VertexNested);
    const double new_x = onto.x + ((x.value - from.x) / from.width) * onto.width;
    const double new_y = onto.y + ((y.value - from.y) / from.height) * onto.height;
    mark_written(new_x, decisions);
    mark_written(new_y, decisions);
    element.set_attr("x", six_decimals(new_x));
    element.set_attr("y", six_decimals(new_y));
  } else if (element.attr("x") && element.attr("y")) {
    mark(decisions, Decision::LookalikeVertexKept);
  }
  for (XMLNode& node : element.children) {
    if (Element* child = node.as_element()) {
      if (auto refusal = rebase(*child, from, onto, depth + 1, decisions)) return refusal;
    }
  }
  return std::nullopt;
}

Expectation refused(std::string outcome, Decisions decisions, Decision why) {
  Expectation expectation;
  expectation.refusal = std::move(outcome);
  expectation.decisions = decisions;
  mark(expectation.decisions, why);
  return expectation;
}

// True when a layer other than a `Slice` carries uniqueId `id` in some screen's layers.
bool layer_of_other_tag(const Element& root, std::string_view id) {
  const Located screens = screens_list(root);
  if (!screens.element) return false;
  for (const XMLNode& node : screens.element->children) {
    const Element* screen = node.as_element();
    auto layers = screen ? first_child(*screen, "layers") : std::nullopt;
    if (!layers) continue;
    for (const XMLNode& layer_node : screen->children[*layers].as_element()->children) {
      const Element* layer = layer_node.as_element();
      if (layer && layer->name != "Slice" && has_id(*layer, id)) return true;
    }
  }
  return false;
}

// Marks a slice held by a child of the screens list other than a `Screen`.
void mark_screen_kind(const Element& root, const Located& slice, Decisions& decisions) {
  const NodePath screen_path(slice.path.begin(), slice.path.begin() + 3);
  const Element* screen = element_at(root, screen_path);
  if (screen && screen->name != "Screen") mark(decisions, Decision::SliceUnderOtherKind);
}

std::size_t masks_of(const Element& slice) {
  std::size_t count = 0;
  for (const XMLNode& node : slice.children) {
    const Element* child = node.as_element();
    count += child && child->name == "SliceMask";
  }
  return count;
}

}  // namespace

Expectation expect_mask_paste(const Element& source, const Element& target,
                              const StressOperation::InputMask& paste) {
  Decisions decisions;
  mark(decisions, Decision::Paste);
  const Located from = find_slice(source, paste.source_slice_unique_id);
  if (!from.element) {
    if (layer_of_other_tag(source, paste.source_slice_unique_id)) {
      mark(decisions, Decision::PasteSourceIsMask);
    }
    return refused("error:Source node not found", decisions, Decision::PasteSourceMissing);
  }
  mark_screen_kind(source, from, decisions);
  auto mask = first_child(*from.element, "SliceMask");
  if (!mask) {
    return refused(invalid("Source slice has no input mask to copy."), decisions,
                   Decision::PasteNoMask);
  }
  auto from_box = input_box(*from.element, source_side(paste.source_slice_unique_id), decisions);
  if (from_box.refusal) return refused(*from_box.refusal, decisions, from_box.why);
  const Located onto = find_slice(target, paste.target_slice_unique_id);
  if (!onto.element) {
    return refused("error:Target screen not found", decisions, Decision::PasteTargetMissing);
  }
  mark_screen_kind(target, onto, decisions);
  auto existing = first_child(*onto.element, "SliceMask");
  auto onto_box = input_box(*onto.element, target_side(paste.target_slice_unique_id), decisions);
  if (onto_box.refusal) return refused(*onto_box.refusal, decisions, onto_box.why);
  if (existing && !paste.allow_overwrite) {
    return refused(invalid("Target slice already has an input mask. Confirm overwrite and retry."),
                   decisions, Decision::OverwriteRefused);
  }
  if (auto refusal = aspect_refusal(from_box.value, onto_box.value, decisions)) {
    return refused(*refusal, decisions, Decision::AspectRefused);
  }
  if (from_box.value.on_zero_limit || onto_box.value.on_zero_limit) {
    mark(decisions, Decision::ZeroSizeAtLimit);
  }
  Expectation expectation;
  expectation.decisions = decisions;
  expectation.subtree = *from.element->children[*mask].as_element();
  if (auto refusal =
          rebase(expectation.subtree, from_box.value, onto_box.value, 0, expectation.decisions)) {
    return refused(*refusal, expectation.decisions, Decision::Paste);
  }
  renumber(expectation.subtree, target, expectation);
  expectation.parent = onto.path;
  expectation.replaces = existing.has_value();
  expectation.position = existing ? *existing : onto.element->children.size();
  mark(expectation.decisions, existing ? Decision::Overwrote : Decision::Appended);
  if (masks_of(*onto.element) > 1) mark(expectation.decisions, Decision::SecondMaskKept);
  if (existing) {
    expectation.messages.push_back("Overwrote existing input mask on target slice '" +
                                   paste.target_slice_unique_id + "'.");
  }
  return expectation;
}

}  // namespace kivo::stress::oracle::detail
