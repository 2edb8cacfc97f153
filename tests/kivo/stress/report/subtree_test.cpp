// Which subtree the page shows for the failing step.
#include <gtest/gtest.h>

#include "kivo/stress/report.hpp"
#include "support/presets.hpp"

namespace {

using kivo::Element;
using kivo::XMLNode;
using kivo::stress::StressCopy;
using kivo::stress::StressOperation;
using namespace kivo::test;
namespace report = kivo::stress::report;
using Path = report::Path;

// XmlState/ScreenSetup[0]/screens[0]/Screen[i]/layers[1]/Slice[j]
Element doc() {
  return preset({screen("5", "Main", {slice("51", "A")}),
                 screen("7", "Wall", {slice("70", "B"), slice("71", "C")})});
}

Element& at(Element& root, const Path& path) {
  Element* node = &root;
  for (std::size_t i : path) node = node->children[i].as_element();
  return *node;
}

StressOperation layer_copy(std::string into) {
  return {StressCopy{"slice", "51", "5", std::move(into), std::nullopt}};
}

TEST(ReportSubtree, ReceivingNodeByOperation) {
  const Element before = doc();
  const struct {
    const char* what;
    StressOperation operation;
    Path path;
  } cases[] = {
      {"layer copy: the receiving screen", layer_copy("7"), {0, 0, 1}},
      {"layer copy to a missing screen: the screens list", layer_copy("9"), {0, 0}},
      {"screen copy: the screens list",
       {StressCopy{"screen", "5", std::nullopt, std::nullopt}},
       {0, 0}},
      {"paste: the receiving slice",
       {StressOperation::InputMask{"51", "71", false}},
       {0, 0, 1, 1, 1}},
      {"paste onto a missing slice: the root", {StressOperation::InputMask{"51", "72", false}}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(report::receiving_path(before, c.operation), c.path);
  }
}

TEST(ReportSubtree, FirstDifferenceIsTheDeepestSharedElement) {
  const Element a = doc();
  Element b = doc();
  EXPECT_EQ(report::first_difference_path(a, b), std::nullopt);
  // A changed attribute of the second slice of screen 7.
  at(b, {0, 0, 1, 1, 1}).set_attr("idHash", "changed");
  EXPECT_EQ(report::first_difference_path(a, b), (Path{0, 0, 1, 1, 1}));
  // An inserted layer: the difference is in the layers list itself.
  Element c = doc();
  at(c, {0, 0, 1, 1}).children.push_back(XMLNode{el("x")});
  EXPECT_EQ(report::first_difference_path(a, c), (Path{0, 0, 1, 1}));
}

TEST(ReportSubtree, AffectedPathWidensToHoldEveryDifference) {
  const Element before = doc();
  Element inside = doc();  // changed inside screen 7: the screen is shown
  at(inside, {0, 0, 1, 1, 0}).set_attr("x", "1");
  EXPECT_EQ(report::affected_path(before, {&inside}, layer_copy("7")), (Path{0, 0, 1}));
  Element elsewhere = doc();  // a change in screen 5 too: widened to the screens list
  at(elsewhere, {0, 0, 0, 1, 0}).set_attr("x", "1");
  EXPECT_EQ(report::affected_path(before, {&inside, &elsewhere, nullptr}, layer_copy("7")),
            (Path{0, 0}));
}

TEST(ReportSubtree, PathsInWords) {
  const Element before = doc();
  EXPECT_EQ(report::path_words(before, {0, 0, 1, 1, 0}),
            "/XmlState/ScreenSetup[0]/screens[0]/Screen[1]/layers[1]/Slice[0]");
  ASSERT_NE(kivo::stress::oracle::element_at(before, {0, 0, 1}), nullptr);
  EXPECT_EQ(*kivo::stress::oracle::element_at(before, {0, 0, 1})->attr("uniqueId"), "7");
  EXPECT_EQ(kivo::stress::oracle::element_at(before, {0, 0, 5}), nullptr);
}

TEST(ReportXmlView, IndentedLinesAndTheirFirstDifference) {
  Element node = el("Slice", {{"uniqueId", "1"}, {"q", "a\"<b"}},
                    {el("InputRect", {}, {el("v", {{"x", "0"}, {"y", "1"}})})});
  node.children.push_back(XMLNode{kivo::Comment{" note "}});
  const std::vector<std::string> expected{"<Slice uniqueId=\"1\" q=\"a&quot;&lt;b\">",
                                          "  <InputRect>",
                                          "    <v x=\"0\" y=\"1\"/>",
                                          "  </InputRect>",
                                          "  <!-- note -->",
                                          "</Slice>"};
  const auto lines = report::indented_lines(node);
  EXPECT_EQ(lines, expected);
  auto changed = lines;
  changed[2] = "    <v x=\"1\" y=\"0\"/>";
  EXPECT_EQ(report::first_differing_line(lines, changed), 2u);
  EXPECT_EQ(report::first_differing_line(lines, lines), std::nullopt);
  EXPECT_EQ(report::first_differing_line(lines, {lines.begin(), lines.end() - 1}), 5u);
}

TEST(ReportXmlView, ColumnShowsAWindowAroundTheDifference) {
  std::vector<std::string> lines;
  for (int i = 0; i < 100; ++i) lines.push_back("<v i=\"" + std::to_string(i) + "\"/>");
  const std::string html = report::xml_column_html(lines, 50, 50, 10);
  EXPECT_NE(html.find("… 45 lines above"), std::string::npos) << html;
  EXPECT_NE(html.find("… 45 lines below"), std::string::npos) << html;
  EXPECT_NE(
      html.find("<span class=\"diff\"><span class=\"ln\">51</span>&lt;v i=&quot;50&quot;/&gt;"),
      std::string::npos)
      << html;
  EXPECT_EQ(html.find("i=&quot;44&quot;"), std::string::npos);
}

}  // namespace
