#include <gtest/gtest.h>

#include "kivo/stress/checks.hpp"
#include "kivo/stress/test_trees.hpp"

namespace kivo::stress::checks {
namespace {

using kivo::test::el;
using Set = std::unordered_set<std::string>;

Element with_ids(std::vector<std::string> ids) {
  std::vector<Element> children;
  for (auto& id : ids) children.push_back(el("Slice", {{"uniqueId", id}}));
  return el("XmlState", {}, {el("layers", {}, std::move(children))});
}

TEST(DuplicateAttrValues, FindsValuesOnTwoOrMoreElementsAnywhere) {
  EXPECT_EQ(duplicate_attr_values(with_ids({"7", "9", "7", "7"}), "uniqueId"), Set{"7"});
  EXPECT_EQ(duplicate_attr_values(with_ids({"1", "2"}), "uniqueId"), Set{});

  // The root counts, values compare as exact text, other attributes are ignored.
  Element root = el("XmlState", {{"uniqueId", "5"}},
                    {el("a", {{"uniqueId", "5"}, {"idHash", "x"}}), el("b", {{"uniqueId", "05"}}),
                     el("c", {{"idHash", "x"}})});
  EXPECT_EQ(duplicate_attr_values(root, "uniqueId"), Set{"5"});
  EXPECT_EQ(duplicate_attr_values(root, "idHash"), Set{"x"});
}

TEST(DuplicateAttrValues, SkipsNonElementChildren) {
  Element root = el("XmlState", {{"uniqueId", "1"}});
  root.children.push_back(XMLNode{Text{"uniqueId=1"}});
  root.children.push_back(XMLNode{el("deep", {}, {el("deeper", {{"uniqueId", "1"}})})});
  EXPECT_EQ(duplicate_attr_values(root, "uniqueId"), Set{"1"});
}

TEST(EnsureNoFreshDuplicates, ReportsOnlyNewValuesSorted) {
  struct Case {
    std::vector<std::string> before;
    std::vector<std::string> after;
    std::string message;  // empty: no error
  };
  const std::vector<Case> cases = {
      {{"7", "7"}, {"7", "7", "7", "8", "8"}, "New duplicate uniqueId values introduced: 8"},
      {{"1"},
       {"4", "4", "3", "3", "10", "10"},
       "New duplicate uniqueId values introduced: 10, 3, 4"},
      {{"7", "7"}, {"7", "7", "7"}, ""},
      {{}, {}, ""},
      {{"5", "5"}, {"5"}, ""},
  };
  for (const Case& c : cases) {
    auto result =
        ensure_no_fresh_duplicate_attrs(with_ids(c.before), with_ids(c.after), "uniqueId");
    if (c.message.empty()) {
      EXPECT_TRUE(result) << c.after.size();
    } else {
      ASSERT_FALSE(result) << c.message;
      EXPECT_EQ(result.error().chain(), std::vector<std::string>{c.message});
    }
  }
}

TEST(EnsureNoFreshDuplicates, NamesTheAttribute) {
  Element before = el("XmlState");
  Element after = el("XmlState", {}, {el("a", {{"idHash", "h"}}), el("b", {{"idHash", "h"}})});
  auto result = ensure_no_fresh_duplicate_attrs(before, after, "idHash");
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().message(), "New duplicate idHash values introduced: h");
  EXPECT_TRUE(ensure_no_fresh_duplicate_attrs(before, after, "uniqueId"));
}

}  // namespace
}  // namespace kivo::stress::checks
