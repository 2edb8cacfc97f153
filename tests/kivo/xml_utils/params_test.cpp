#include <gtest/gtest.h>

#include <string>

#include "kivo/xml_utils.hpp"

namespace {

using kivo::Element;
using namespace kivo::xml_utils;

Element tree(std::string_view text) {
  auto root = parse(text);
  EXPECT_TRUE(root) << text;
  return root ? *root : Element{};
}

TEST(ParamsByName, SkipsGroupsWithoutOrWithOtherNames) {
  Element layer = tree(
      "<Slice><Params><Param name=\"Name\" value=\"unnamed\"/></Params>"
      "<Params name=\"Other\"/><params name=\"Common\"/><Params name=\"Common\" n=\"1\"/>"
      "<Params name=\"Common\" n=\"2\"/></Slice>");
  const Element* group = params_by_name(layer, "Common");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(*group->attr("n"), "1");
  EXPECT_EQ(params_by_name(layer, "common"), nullptr);
  EXPECT_EQ(params_by_name(layer, "Missing"), nullptr);

  params_by_name(layer, "Common")->set_attr("n", "edited");
  EXPECT_EQ(*params_by_name(std::as_const(layer), "Common")->attr("n"), "edited");
}

TEST(ParamValue, SkipsParamsWithoutValue) {
  Element group = tree(
      "<Params name=\"Common\"><param name=\"Name\" value=\"lower\"/><Param name=\"Name\"/>"
      "<Param name=\"Name\" value=\"X\"/><Param name=\"Name\" value=\"Z\"/></Params>");
  EXPECT_EQ(param_value(group, "Name"), "X");
  EXPECT_EQ(param_value(group, "name"), std::nullopt);
  EXPECT_EQ(param_value(tree("<Params><Param name=\"Name\"/></Params>"), "Name"), std::nullopt);
}

TEST(ParamValue, LooksAtDirectChildrenOnly) {
  Element outer =
      tree("<Slice><Params name=\"Common\"><Param name=\"Name\" value=\"deep\"/></Params></Slice>");
  EXPECT_EQ(param_value(outer, "Name"), std::nullopt);
}

TEST(SetParamValue, SetsTheFirstMatchEvenWithoutValue) {
  Element group = tree(
      "<Params name=\"Common\"><Param name=\"Name\"/><Param name=\"Name\" value=\"X\"/></Params>");
  EXPECT_TRUE(set_param_value(group, "Name", "Y"));
  EXPECT_EQ(*group.children[0].as_element()->attr("value"), "Y");
  EXPECT_EQ(*group.children[1].as_element()->attr("value"), "X");
  EXPECT_TRUE(set_param_value(group, "Name", "W"));
  EXPECT_EQ(*group.children[0].as_element()->attr("value"), "W");
  EXPECT_EQ(group.children[0].as_element()->attributes.size(), 2u);
}

TEST(SetParamValue, ChangesNothingWithoutMatch) {
  Element group = tree(
      "<Params name=\"Common\"><Param name=\"Other\" value=\"1\"/><param name=\"Name\"/></Params>");
  const Element before = group;
  EXPECT_FALSE(set_param_value(group, "Name", "Y"));
  EXPECT_EQ(group, before);
}

TEST(GatherAttrValues, ListsValuesInPreOrderWithRepeats) {
  Element root = tree(
      "<a uniqueId=\"1\"><b uniqueId=\"1\"><c uniqueId=\"2\"/></b><!--x--><d/><e "
      "uniqueId=\"3\"/></a>");
  std::vector<std::string> values{"kept"};
  gather_attr_values(root, "uniqueId", values);
  EXPECT_EQ(values, (std::vector<std::string>{"kept", "1", "1", "2", "3"}));
}

TEST(ReplaceAttrValues, RewritesAnyAttributeOnceWithItsEntryValue) {
  Element root =
      tree("<a uniqueId=\"a\" name=\"b\"><b value=\"a\" other=\"c\"><c x=\"b\"/></b>text a</a>");
  replace_attr_values(root, {{"a", "b"}, {"b", "c"}});
  EXPECT_EQ(*root.attr("uniqueId"), "b");
  EXPECT_EQ(*root.attr("name"), "c");
  const Element& b = *root.children[0].as_element();
  EXPECT_EQ(*b.attr("value"), "b");
  EXPECT_EQ(*b.attr("other"), "c");
  EXPECT_EQ(*b.children[0].as_element()->attr("x"), "c");
  EXPECT_EQ(std::get<kivo::Text>(root.children[1].value).text, "text a");
}

TEST(ReplaceAttrValues, EmptyMappingChangesNothing) {
  Element root = tree("<a uniqueId=\"a\"><b v=\"\"/></a>");
  const Element before = root;
  replace_attr_values(root, {});
  EXPECT_EQ(root, before);
}

}  // namespace
