#include <gtest/gtest.h>

#include "kivo/stress/mutations.hpp"
#include "kivo/stress/xml_fixture.hpp"

namespace {

namespace m = kivo::stress::mutations;
using kivo::stress::testing::parse_doc;
using Refs = std::vector<m::TaggedId>;

constexpr const char* kNested = R"(<XmlState uniqueId="0">
  <Screen uniqueId="1">
    <Slice uniqueId="10"><Mask uniqueId="11"/></Slice>
    <Mask/>
    <slice uniqueId="12"/>
  </Screen>
  <Screen uniqueId="2"><Mask uniqueId="20"/><Slice uniqueId="10" name="twin"/></Screen>
</XmlState>)";

TEST(CollectRefs, WalkInPreOrderThroughEveryElement) {
  const auto doc = parse_doc(kNested);
  Refs layers;
  m::collect_layer_refs_rec(doc, layers);
  EXPECT_EQ(layers, (Refs{{"Slice", "10"}, {"Mask", "11"}, {"Mask", "20"}, {"Slice", "10"}}));

  Refs identities;
  m::collect_ids_with_tags_rec(doc, identities);
  EXPECT_EQ(identities, (Refs{{"Screen", "1"},
                              {"Slice", "10"},
                              {"Mask", "11"},
                              {"Screen", "2"},
                              {"Mask", "20"},
                              {"Slice", "10"}}));

  std::vector<std::string> screens{"kept"};
  m::collect_ids_by_tag_rec(doc, "Screen", screens);
  EXPECT_EQ(screens, (std::vector<std::string>{"kept", "1", "2"}));
}

TEST(FindByUniqueIdTag, ReturnsTheFirstMatchOfTagAndId) {
  auto doc = parse_doc(kNested);
  const auto* first = m::find_element_by_unique_id_tag(doc, "10", "Slice");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->attr("name"), nullptr);
  EXPECT_EQ(m::find_element_by_unique_id_tag(doc, "10", "Mask"), nullptr);
  EXPECT_EQ(m::find_element_by_unique_id_tag(doc, "12", "Slice"), nullptr);  // case matters
  EXPECT_EQ(m::find_element_by_unique_id_tag(doc, "0", "XmlState"), &doc);

  auto* mutable_first = m::find_element_mut_by_unique_id_tag(doc, "10", "Slice");
  EXPECT_EQ(mutable_first, first);
  ASSERT_NE(m::find_element_mut_by_unique_id_tag(doc, "20", "Mask"), nullptr);
}

TEST(ParamLookups, ReadTheFirstUsableEntryOfAChildSequence) {
  const auto layer = parse_doc(R"(<Slice>
    <Params><Param name="Name" value="nameless group"/></Params>
    <Params name="Common">
      <Param name="Name"/>
      <param name="Name" value="lower case"/>
      <Param name="Name" value="Real"/>
      <Param name="Name" value="Later"/>
    </Params>
    <Params name="Common"><Param name="Name" value="second group"/></Params>
  </Slice>)");
  const auto* group = m::params_by_name(layer.children, "Common");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(m::find_param_value(group->children, "Name"), "Real");
  EXPECT_EQ(m::find_param_value(group->children, "Enabled"), std::nullopt);
  EXPECT_EQ(m::params_by_name(layer.children, "Params"), nullptr);
  EXPECT_EQ(m::params_by_name(layer.children, "common"), nullptr);
}

}  // namespace
