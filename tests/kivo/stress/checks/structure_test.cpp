#include <gtest/gtest.h>

#include "kivo/stress/checks.hpp"
#include "kivo/stress/test_trees.hpp"

namespace kivo::stress::checks {
namespace {

using kivo::test::el;

std::string structure_error(const Element& root) {
  auto result = ensure_required_structure(root);
  return result ? "" : result.error().display_chain();
}

TEST(EnsureRequiredStructure, StopsAtTheFirstMissingPiece) {
  Element text_only_screens = el("screens");
  text_only_screens.children.push_back(XMLNode{Text{"  "}});
  Element second_setup_has_screens =
      el("XmlState", {},
         {el("ScreenSetup", {}, {el("other")}),
          el("ScreenSetup", {}, {el("screens", {}, {el("Screen")})})});

  EXPECT_EQ(structure_error(el("Preset")), "Root node is 'Preset' instead of 'XmlState'.");
  EXPECT_EQ(structure_error(el("XmlState", {}, {el("screens")})), "Missing /XmlState/ScreenSetup");
  EXPECT_EQ(structure_error(el("XmlState", {}, {el("ScreenSetup")})),
            "Missing /XmlState/ScreenSetup/screens");
  EXPECT_EQ(structure_error(second_setup_has_screens), "Missing /XmlState/ScreenSetup/screens");
  EXPECT_EQ(structure_error(el("XmlState", {}, {el("ScreenSetup", {}, {text_only_screens})})),
            "/XmlState/ScreenSetup/screens has no screen children.");
  EXPECT_EQ(structure_error(el("XmlState", {}, {el("ScreenSetup", {}, {el("screens")})})),
            "/XmlState/ScreenSetup/screens has no screen children.");
}

TEST(EnsureRequiredStructure, AcceptsAnyChildElementUnderScreens) {
  EXPECT_EQ(structure_error(kivo::test::preset({el("Anything")})), "");
}

}  // namespace
}  // namespace kivo::stress::checks
