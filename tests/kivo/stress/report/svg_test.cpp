// Geometry drawn to scale, and degenerate geometry drawn as labelled markers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kivo/stress/report.hpp"
#include "support/presets.hpp"

namespace {

using kivo::Element;
using namespace kivo::test;
namespace report = kivo::stress::report;
using report::Point;
using report::Shape;
using report::Space;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Shape shape(std::vector<Point> points, std::string part = "input", Space space = Space::Input) {
  return {"1", "Slice 'A' #1", std::move(part), space, std::move(points), false};
}

TEST(ReportSvg, FitKeepsOneScaleForBothAxes) {
  const report::Viewport wide = report::fit({0, 0, 1920, 1080}, 64, 34, 352, 240);
  EXPECT_DOUBLE_EQ(wide.scale, 352.0 / 1920.0);
  const Point centre = wide.map({960, 540});
  EXPECT_DOUBLE_EQ(centre.x, 64 + 176);
  EXPECT_DOUBLE_EQ(centre.y, 34 + 540 * 352.0 / 1920.0);
  const report::Viewport tall = report::fit({100, -50, 200, 450}, 0, 0, 352, 240);
  EXPECT_DOUBLE_EQ(tall.scale, 240.0 / 500.0);
  EXPECT_DOUBLE_EQ(tall.map({100, -50}).x, 0);
  EXPECT_DOUBLE_EQ(tall.map({200, 450}).y, 240);
}

TEST(ReportSvg, NumbersAsWritten) {
  const struct {
    double value;
    const char* svg;
    const char* axis;
  } cases[] = {{0, "0", "0"},          {1.5, "1.5", "1.5"},       {2.345, "2.35", "2.345"},
               {-0.001, "0", "-0.001"}, {1920, "1920", "1920"},    {1234567, "1234567", "1.23457e+06"},
               {kNaN, "0", "nan"},      {kInf, "0", "inf"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(report::svg_number(c.value), c.svg);
    EXPECT_EQ(report::axis_number(c.value), c.axis);
  }
}

TEST(ReportSvg, DegenerateKinds) {
  const struct {
    std::vector<Point> points;
    std::optional<std::string> kind;
  } cases[] = {
      {{}, "empty"},
      {{{3, 4}}, "single point"},
      {{{3, 4}, {3, 4}, {3, 4}}, "single point"},
      {{{0, 0}, {kNaN, 1}}, "NaN coordinates"},
      {{{0, 0}, {1, -kInf}}, "infinite coordinates"},
      {{{0, 0}, {1e300, 1}}, "coordinates too large"},
      {{{0, 0}, {1, 0}}, std::nullopt},
      {{{0, 0}, {1, 0}, {1, 1}}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(report::degenerate_kind(c.points), c.kind);
}

TEST(ReportSvg, BoundsLeaveOutWhatCannotBeDrawn) {
  const std::vector<Shape> shapes{
      shape({{10, 20}, {110, 20}, {110, 70}}), shape({{kNaN, 0}, {5000, 5000}}),
      shape({{-1e300, 0}, {1, 1}}), shape({{0, 0}, {9999, 9999}}, "output", Space::Output)};
  const report::Bounds b = report::bounds_of({&shapes}, Space::Input);
  EXPECT_EQ((std::vector<double>{b.min_x, b.min_y, b.max_x, b.max_y}),
            (std::vector<double>{10, 20, 110, 70}));
  const std::vector<Shape> point{shape({{5, 5}})};
  const report::Bounds single = report::bounds_of({&point}, Space::Input);
  EXPECT_EQ((std::vector<double>{single.min_x, single.min_y, single.max_x, single.max_y}),
            (std::vector<double>{4, 4, 6, 6}));
  const std::vector<Shape> none;
  const report::Bounds empty = report::bounds_of({&none, nullptr}, Space::Output);
  EXPECT_EQ(empty.max_x - empty.min_x, 1);
}

TEST(ReportSvg, DrawingHoldsScaledOutlinesAxesAndMarkers) {
  std::vector<Shape> shapes{shape({{0, 0}, {1920, 0}, {1920, 1080}, {0, 1080}}),
                            shape({{960, 540}}, "mask"), shape({}, "mask"),
                            shape({{kNaN, 0}, {1, 1}}, "output", Space::Input)};
  shapes[0].changed = true;
  const std::string svg =
      report::space_svg(shapes, Space::Input, {0, 0, 1920, 1080}, "after — input space");
  // 352 / 1920 = 0.18333 per unit, from the plot corner (64, 34).
  EXPECT_NE(svg.find("points=\"64,34 416,34 416,232 64,232\""), std::string::npos) << svg;
  EXPECT_NE(svg.find("class=\"input changed\""), std::string::npos);
  EXPECT_NE(svg.find("<circle class=\"mask marker\" cx=\"240\" cy=\"133\""), std::string::npos)
      << svg;
  EXPECT_NE(svg.find("input mask: single point"), std::string::npos);
  EXPECT_NE(svg.find("input mask: empty"), std::string::npos);
  EXPECT_NE(svg.find("output rectangle: NaN coordinates"), std::string::npos);
  for (const char* tick : {">0<", ">960<", ">1920<", ">540<", ">1080<"}) {
    EXPECT_NE(svg.find(tick), std::string::npos) << tick;
  }
  EXPECT_EQ(svg.find("nan"), std::string::npos);
  EXPECT_EQ(svg.find("inf"), std::string::npos);
}

TEST(ReportSvg, ShapesOfAScreenAndWhatChanged) {
  Element masked = slice("1", "A", {vertices("InputRect", {{"0", "0"}, {"10", "0"}, {"10", "5"}}),
                                    vertices("OutputRect", {{"1", "1"}, {"2", "2"}, {"x", "3"}}),
                                    el("SliceMask", {}, {vertices("Rect", {{"1", "1"}, {"2", "1"}})})});
  const Element scr = screen("5", "Main", {masked});
  const auto shapes = report::screen_shapes(scr);
  ASSERT_EQ(shapes.size(), 3u);
  EXPECT_EQ(shapes[0].part, "input");
  EXPECT_EQ(shapes[1].part, "mask");
  EXPECT_EQ(shapes[2].part, "output");
  EXPECT_EQ(shapes[0].label, "Slice 'A' #1");
  EXPECT_TRUE(std::isnan(shapes[2].points[2].x));
  auto after = shapes;
  after[1].points[0].x = 7;
  report::mark_changed(after, shapes);
  EXPECT_FALSE(after[0].changed);
  EXPECT_TRUE(after[1].changed);
  EXPECT_FALSE(after[2].changed) << "NaN against NaN is the same drawing";
}

}  // namespace
