// Input rectangles and masks on the paste's limits: aspect ratios exactly at 1.35 and one step
// either side, spans exactly at the zero-size limit, coordinates the six-decimal rounding and the
// number reader must get exactly right.
#include <algorithm>

#include "kivo/stress/situations/kinds.hpp"
#include "kivo/stress/situations/tree.hpp"

namespace kivo::stress::situations::detail {
namespace {

struct Size {
  double width, height;
};

// Width and height whose ratios, against each other, fall exactly on the limit of 1.35, one
// hundredth either side of it, and one representable step either side of it.
constexpr Size kLadder[] = {
    {100, 100},
    {135, 100},
    {136, 100},
    {134, 100},
    {100, 135},
    {100, 136},
    {270, 200},
    {200, 270},
    {4, 3},
    {2, 1},
    {1, 1},
    {1.3500000000000003, 1},
    {1.3499999999999999, 1},
    {1, 1.3500000000000003},
    {1.35, 1},
    {1, 1.35},
};

// Texts that all read as the same number, so the reader's grammar is walked on every path.
std::string spelled(double value, Rng& rng) {
  const std::string plain = number_text(value);
  if (value != static_cast<double>(static_cast<long long>(value)) || value < 0) return plain;
  const std::string whole = std::to_string(static_cast<long long>(value));
  const std::string forms[] = {plain,       "+" + whole,  whole + ".0",   whole + ".",
                               "0" + whole, whole + "e0", whole + "0E-1", whole + ".000"};
  return pick(rng, forms);
}

// The four corners, in an order and count drawn: a rectangle may be given by two opposite
// corners, or repeat a corner.
void set_corners(Element& rect, double x0, double y0, double x1, double y1, Rng& rng) {
  std::vector<Element> corners = {
      vertex(spelled(x0, rng), spelled(y0, rng)), vertex(spelled(x1, rng), spelled(y0, rng)),
      vertex(spelled(x1, rng), spelled(y1, rng)), vertex(spelled(x0, rng), spelled(y1, rng))};
  std::rotate(corners.begin(), corners.begin() + rng.gen_range(0, 4), corners.end());
  switch (rng.gen_range(0, 4)) {
    case 0:
      corners = {corners[0], corners[2]};
      break;
    case 1:
      corners.push_back(corners[1]);
      break;
    default:
      break;
  }
  remove_children(rect, "v");
  for (Element& corner : corners) rect.children.push_back(XMLNode{std::move(corner)});
}

// A slice, masked ones preferred: only a masked slice can be the source of a paste.
Element* some_slice(Element& root, Rng& rng) {
  std::vector<Element*> slices = all_named(root, "Slice");
  std::vector<Element*> masked;
  for (Element* slice : slices) {
    if (child(*slice, "SliceMask")) masked.push_back(slice);
  }
  return pick(rng, !masked.empty() && rng.gen_bool(0.6) ? masked : slices);
}

// Coordinates a pasted mask must be written with exactly: ties and near-ties at the sixth decimal,
// tiny negatives and negative zero, and NaN, drawn as often as all other values together.
constexpr const char* kCritical[] = {
    "0.0000005",  "0.0000015",      "0.0000025", "-0.0000001", "-0.0000005", "0.9999995",
    "1.0000005",  "0.1234565",      "2.0000004", "2.5e-7",     "-0",         "nan",
    "-0.0000015", "123456.0000005", "0.0000004", "-0.0000004", "-0.0000002", "-0.00000049"};
// Values in every form the reader accepts, huge and tiny ones, and the special values.
constexpr const char* kCoordinates[] = {"0",
                                        "1",
                                        "0.5",
                                        "-0.0000006",
                                        "1e-7",
                                        "0.1",
                                        "0.3",
                                        "1.25",
                                        "+0.5",
                                        ".5",
                                        "5.",
                                        "1E3",
                                        "1e+2",
                                        "1e21",
                                        "-1e21",
                                        "1e300",
                                        "4.9e-324",
                                        "inf",
                                        "-inf",
                                        "NaN",
                                        "Infinity",
                                        "-INF",
                                        "9007199254740993",
                                        "1.7976931348623157e308",
                                        "00.25",
                                        "0.000001"};

const char* coordinate(Rng& rng) {
  return rng.gen_bool(0.5) ? pick(rng, kCritical) : pick(rng, kCoordinates);
}

// Texts a mask vertex may hold that are no number, or no vertex at all.
constexpr const char* kNotNumbers[] = {"abc", "",    " 1", "1 ",      "1e",     "0x10",  "1,5",
                                       "+-1", "..5", "e5", "infinit", "nan(1)", "1e5.5", "--1"};

Element mask_vertex(Rng& rng) {
  Element v = vertex(coordinate(rng), coordinate(rng));
  if (rng.gen_bool(0.06)) v.set_attr(rng.gen_bool(0.5) ? "x" : "y", pick(rng, kNotNumbers));
  if (rng.gen_bool(0.08)) v.attributes.remove(rng.gen_bool(0.5) ? "x" : "y");
  if (rng.gen_bool(0.1)) v.set_attr("z", coordinate(rng));
  return v;
}

// Elements that look like vertices but are none: the rebase must leave them as they are.
Element decoy_vertex(Rng& rng) {
  constexpr const char* kNames[] = {"V", "vertex", "Point", "vv"};
  Element decoy = Element::make(pick(rng, kNames));
  decoy.set_attr("x", coordinate(rng));
  decoy.set_attr("y", coordinate(rng));
  return decoy;
}

// The vertices of a mask under one of the shapes the rebase walks: a contour, vertices right
// under the mask, or nested groups.
void fill_mask(Element& mask, Rng& rng) {
  std::erase_if(mask.children, [](const XMLNode& node) { return node.as_element() != nullptr; });
  const std::uint64_t shape = rng.gen_range(0, 3);
  Element* holder = &mask;
  if (shape >= 1) holder = &child_or_new(mask, shape == 1 ? "Rect" : "Contour");
  if (shape == 2) holder = &child_or_new(*holder, "Group");
  const std::uint64_t count = rng.gen_range(1, 6);
  for (std::uint64_t i = 0; i < count; ++i) {
    holder->children.push_back(XMLNode{rng.gen_bool(0.15) ? decoy_vertex(rng) : mask_vertex(rng)});
  }
}

void ladder_rect(Element& slice, const Size& size, Rng& rng) {
  // Whole offsets keep the spans exact; the representable-step sizes stay at the origin.
  const bool whole =
      size.width == static_cast<int>(size.width) && size.height == static_cast<int>(size.height);
  const double x = whole ? static_cast<double>(rng.gen_range(0, 3)) * 10 : 0;
  const double y = whole ? static_cast<double>(rng.gen_range(0, 3)) * 5 : 0;
  set_corners(child_or_new(slice, "InputRect"), x, y, x + size.width, y + size.height, rng);
}

Element& mask_of(Element& root, Element& slice) {
  if (Element* mask = child(slice, "SliceMask")) return *mask;
  slice.children.push_back(XMLNode{Element::make("SliceMask")});
  Element& mask = *slice.children.back().as_element();
  mask.set_attr("uniqueId", fresh_value(root, "uniqueId"));
  mask.set_attr("idHash", fresh_value(root, "idHash"));
  return mask;
}

void boundary_mask_on(Element& root, Element& slice, Rng& rng) {
  // A unit rectangle on both sides makes the rebase the identity, so each coordinate reaches the
  // writer of numbers as it is.
  constexpr double kSides[] = {1, 1, 1, 2, 10, 0.5};
  const double side = pick(rng, kSides);
  set_corners(child_or_new(slice, "InputRect"), 0, 0, side, side, rng);
  fill_mask(mask_of(root, slice), rng);
}

struct Corners {
  const char *x0, *y0, *x1, *y1;
};
// Spans exactly at the zero-size limit and just under it, zero on one axis only, coordinates that
// are no finite number, and spans too large to hold; the first four are on the limit.
constexpr std::size_t kOnLimit = 4;
constexpr Corners kShapes[] = {
    {"0", "0", "0.000001", "1"},
    {"0", "0", "1", "0.000001"},
    {"0", "0", "0.000001", "0.000001"},
    {"0", "0", "1e308", "0.000001"},  // on the limit, with an aspect ratio past every double
    {"0", "0", "0.00000099", "1"},
    {"0", "0", "1", "0.00000099"},
    {"5", "5", "5", "9"},
    {"5", "5", "9", "5"},
    {"0", "0", "nan", "1"},
    {"nan", "nan", "nan", "nan"},
    {"0", "0", "inf", "1"},
    {"-1e308", "0", "1e308", "1"},
    {"0", "-inf", "1", "2"},
    {"1", "1", "1", "1"},
    {"0", "0", "1e-300", "1e-300"},
    {"3", "4", "3.000001", "4.000001"},
    {"-inf", "0", "1", "1"},
    {"0", "0", "1", "inf"},
};

// The shape's two corners (with a NaN vertex among them sometimes), or, when `spoil` is set, the
// shape spoiled in one of several ways.
void degenerate_on(Element& slice, const Corners& shape, bool spoil, Rng& rng) {
  Element& rect = child_or_new(slice, "InputRect");
  remove_children(rect, "v");
  switch (spoil ? rng.gen_range(0, 7) : rng.gen_range(1, 3)) {
    case 4:  // no input rectangle at all
      return remove_children(slice, "InputRect");
    case 5:  // a vertex without one coordinate
      rect.children.push_back(XMLNode{vertex(shape.x0, shape.y0)});
      rect.children.push_back(XMLNode{vertex(shape.x1, shape.y1)});
      rect.children.back().as_element()->attributes.remove(rng.gen_bool(0.5) ? "x" : "y");
      return;
    case 6:  // a coordinate that is no number
      rect.children.push_back(XMLNode{vertex(shape.x0, shape.y0)});
      rect.children.push_back(XMLNode{vertex(shape.x1, pick(rng, kNotNumbers))});
      return;
    case 0:  // a single vertex
      rect.children.push_back(XMLNode{vertex(shape.x0, shape.y0)});
      return;
    case 1:  // a NaN vertex among good ones: it never widens the box
      rect.children.push_back(XMLNode{vertex("nan", shape.y1)});
      [[fallthrough]];
    default:
      rect.children.push_back(XMLNode{vertex(shape.x0, shape.y0)});
      rect.children.push_back(XMLNode{vertex(shape.x1, shape.y1)});
  }
}

// An ordinary mask inside the slice's box, so the slice can be a paste's source.
void plain_mask(Element& root, Element& slice, Rng& rng) {
  if (child(slice, "SliceMask")) return;
  Element& rect = child_or_new(mask_of(root, slice), "Rect");
  for (const char* corner : {"0.25", "0.5", "0.75"}) {
    rect.children.push_back(XMLNode{vertex(corner, rng.gen_bool(0.5) ? "0.5" : corner)});
  }
}

}  // namespace

void aspect_ladder(Element& root, Rng& rng) {
  if (Element* slice = some_slice(root, rng)) ladder_rect(*slice, pick(rng, kLadder), rng);
}

void boundary_mask(Element& root, Rng& rng) {
  if (Element* slice = pick(rng, all_named(root, "Slice"))) boundary_mask_on(root, *slice, rng);
}

void degenerate_rect(Element& root, Rng& rng) {
  Element* slice = some_slice(root, rng);
  // The spans exactly at the limit are drawn as often as all the others.
  if (!slice) return;
  if (rng.gen_bool(0.5))
    return degenerate_on(*slice, kShapes[rng.gen_range(0, kOnLimit)], false, rng);
  degenerate_on(*slice, pick(rng, kShapes), true, rng);
}

void geometry_sweep(Element& root, Rng& rng) {
  // Every slice of the document gets one shape of the sweep, so that any two swept documents hold
  // pairs exactly on the aspect limit, on the zero-size limit and with identical boxes.
  // Last first: a slice nested in another is done before the outer one can drop it.
  const std::vector<Element*> slices = all_named(root, "Slice");
  constexpr std::size_t kSteps = 17;
  std::vector<std::size_t> steps(kSteps);
  for (std::size_t i = 0; i < kSteps; ++i) steps[i] = i;
  rng.shuffle(steps);
  for (std::size_t i = slices.size(); i-- > 0;) {
    Element& slice = *slices[i];
    const std::size_t step = steps[i % kSteps];
    // Aspect ratios on the limit against each other, a hundredth and one representable step
    // either side of it.
    constexpr Size kSizes[] = {
        {100, 100}, {135, 100}, {1.3500000000000003, 1}, {136, 100}, {100, 135},
        {1, 1},     {134, 100}, {1.3499999999999999, 1}};
    if (step < std::size(kSizes)) {
      ladder_rect(slice, kSizes[step], rng);
      if (rng.gen_bool(0.7)) plain_mask(root, slice, rng);
    } else if (step < 10) {
      boundary_mask_on(root, slice, rng);
    } else {
      // Spans on the limit (one with an aspect ratio past every double), a box without finite
      // extent, one zero span, then unmeasurable shapes spoiled at random.
      constexpr std::size_t kSweptShapes[] = {2, 0, 3, 10, 7, 4, 13};
      degenerate_on(slice, kShapes[kSweptShapes[step - 10]], step >= 15, rng);
      if (rng.gen_bool(0.6)) plain_mask(root, slice, rng);
    }
  }
}

}  // namespace kivo::stress::situations::detail
