#pragma once

// A failure case as one self-contained HTML page: the run, the trace in words, the failing step's
// subtree before, after and as expected, and the touched screens' geometry drawn to scale.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/error.hpp"
#include "kivo/stress/operation.hpp"
#include "kivo/stress/oracle.hpp"

namespace kivo::stress::report {

/// The file name of a case's report, beside its case.json.
inline constexpr std::string_view kReportFile = "report.html";

/// Builds the report of the case whose case.json is `case_path` and writes it beside it; returns
/// the page's path. The case itself is only read.
Result<std::filesystem::path> write_case_report(const std::filesystem::path& case_path);
/// Writes the report of `case_path` and says so in one line: "Report: <path>", or
/// "error: report not written: <why>" (the case is left as it is either way).
std::string report_line(const std::filesystem::path& case_path);

// --- HTML escaping ------------------------------------------------------------------------------

/// `text` safe as HTML text or a quoted attribute value: markup characters as references, control
/// characters and bytes that are not UTF-8 as U+FFFD.
std::string escape_html(std::string_view text);

// --- Step wording -------------------------------------------------------------------------------

/// The display name of a screen, slice or mask: its "Name" parameter, else its name attribute.
std::optional<std::string> display_name(const Element& node);
/// The first element named `tag` (any tag when empty) with uniqueId `id` in `root`, pre-order.
const Element* find_by_unique_id(const Element& root, std::string_view tag, std::string_view id);
/// The screen holding the element with uniqueId `id`, or nullptr.
const Element* screen_holding(const Element& root, std::string_view id);
/// One step in words, names looked up in `source` and `target` as they stand before it.
std::string step_words(const StressOperation& operation, const Element& source,
                       const Element& target);
/// An expectation in words: "success", "any outcome", "an error containing '…'".
std::string expected_words(const ExpectedOutcome& expected);

// --- Subtree selection --------------------------------------------------------------------------

/// Child positions from the root down to a node (`oracle::element_at` finds it).
using Path = oracle::NodePath;
/// The path of the first place where `a` and `b` differ (the deepest element both still share),
/// or nothing when they are equal.
std::optional<Path> first_difference_path(const Element& a, const Element& b);
/// The path in `before` of the node `operation` changes: the receiving screen of a layer copy,
/// the screens list of a screen copy, the receiving slice of a paste; the root when not found.
Path receiving_path(const Element& before, const StressOperation& operation);
/// The subtree to show: the receiving node, widened to hold every difference between `before`
/// and the other trees.
Path affected_path(const Element& before, const std::vector<const Element*>& others,
                   const StressOperation& operation);
/// `path` as "/XmlState/ScreenSetup/screens/Screen[3]".
std::string path_words(const Element& root, const Path& path);

// --- XML diff view ------------------------------------------------------------------------------

/// `element` as indented XML lines, two spaces a level, attributes in their order.
std::vector<std::string> indented_lines(const Element& element);
/// The first line index at which `a` and `b` differ, or nothing when equal.
std::optional<std::size_t> first_differing_line(const std::vector<std::string>& a,
                                                const std::vector<std::string>& b);
/// One column of the side-by-side view: numbered, escaped lines around `focus` (at most
/// `window` of them), the line `highlight` marked.
std::string xml_column_html(const std::vector<std::string>& lines,
                            std::optional<std::size_t> highlight, std::size_t focus,
                            std::size_t window);

// --- Geometry -----------------------------------------------------------------------------------

struct Point {
  double x = 0;
  double y = 0;
};

/// Where a shape lives: the input picture or the output.
enum class Space { Input, Output };

/// One outline of a layer: its input rectangle, input mask or contour, or output rectangle.
struct Shape {
  std::string layer_id;
  std::string label;
  /// "input", "mask" or "output"; with `layer_id` the key matched across trees.
  std::string part;
  Space space = Space::Input;
  std::vector<Point> points;
  bool changed = false;
};

/// Why a shape cannot be drawn as an outline, or nothing: "empty", "NaN coordinates",
/// "infinite coordinates", "single point", "coordinates too large".
std::optional<std::string> degenerate_kind(const std::vector<Point>& points);
/// The outlines of every slice and mask under `screen`'s layers.
std::vector<Shape> screen_shapes(const Element& screen);
/// Marks the shapes of `shapes` that differ from their counterpart in `compared` or have none.
void mark_changed(std::vector<Shape>& shapes, const std::vector<Shape>& compared);

/// The drawable extent of some shapes.
struct Bounds {
  double min_x = 0, min_y = 0, max_x = 1, max_y = 1;
};
/// The box of every drawable point of `shapes` in `space`; (0,0)-(1,1) when none, widened to a
/// nonzero size.
Bounds bounds_of(const std::vector<const std::vector<Shape>*>& shapes, Space space);

/// Maps preset coordinates into a plot area to scale (one factor for both axes, y downward).
struct Viewport {
  Bounds bounds;
  double left = 0, top = 0, scale = 1;
  Point map(Point point) const {
    return {left + (point.x - bounds.min_x) * scale, top + (point.y - bounds.min_y) * scale};
  }
};
/// The viewport fitting `bounds` into a `width` by `height` plot whose corner is at
/// (`left`, `top`).
Viewport fit(const Bounds& bounds, double left, double top, double width, double height);
/// A coordinate as written in SVG: at most two decimals, no trailing zeros.
std::string svg_number(double value);
/// A coordinate as labelled on an axis: at most six significant digits.
std::string axis_number(double value);
/// The inline SVG drawing of `shapes` in `space` within `bounds`, titled `title`, axes labelled.
std::string space_svg(const std::vector<Shape>& shapes, Space space, const Bounds& bounds,
                      std::string_view title);

// --- Page assembly ------------------------------------------------------------------------------

/// One step of the trace as the page shows it.
struct StepView {
  std::uint64_t index = 0;
  std::string words;
  std::string expected;
  std::string observed;
  bool failing = false;
};

/// Everything the page shows.
struct ReportInput {
  const FailureArtifact& artifact;
  std::filesystem::path case_path;
  std::vector<StepView> steps;
  /// The failing step's operation and the target before it, after it, and as the oracle
  /// expected it (strict cases only).
  const StressOperation* failing_operation = nullptr;
  const Element& source;
  const Element& before;
  const Element& after;
  const Element* expected = nullptr;
  /// Said on the page when the "after" tree is not what replaying here gave.
  std::string note;
};

/// The whole page.
std::string report_page(const ReportInput& input);

}  // namespace kivo::stress::report
