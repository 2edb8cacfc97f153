#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kivo/merge.hpp"
#include "kivo/merge/preset_builders.hpp"

namespace kivo::merge {
namespace {

using merge_test::child_elements;
using merge_test::el;
using merge_test::name_group;
using merge_test::preset;
using merge_test::screen;
using merge_test::slice;
using merge_test::written;
using model::CopyOperation;
using model::NodeKind;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

CopyOperation screen_request(std::string id) {
  CopyOperation request;
  request.source = {std::move(id), std::nullopt, 0, NodeKind::Screen};
  request.collision_policy = "autoRenameRemap";
  return request;
}

CopyOperation layer_request(NodeKind kind, std::optional<std::string> parent, std::string id,
                            std::optional<std::string> target_screen) {
  CopyOperation request;
  request.source = {std::move(id), std::move(parent), 0, kind};
  request.collision_policy = "autoRenameRemap";
  request.target_screen_unique_id = std::move(target_screen);
  return request;
}

// Screen "1" "Main" with slice "2" "Left" and mask "3" "M", a DmxScreen "8" and screen "9".
Element sample_preset() {
  Element main = screen("1", "Main",
                        {slice("2", "Left"), el("Mask", {{"uniqueId", "3"}, {"ref", "2"}},
                                                {name_group("Common", "M")})});
  main.children.push_back(
      XMLNode{el("OutputDevice", {},
                 {el("OutputDeviceVirtual", {{"name", "Main"}, {"deviceId", "VirtualMain"}}),
                  el("OutputDevicePhysical", {{"name", "Main"}})})});
  main.children.push_back(XMLNode{Comment{"kept"}});
  return preset({std::move(main), el("DmxScreen", {{"uniqueId", "8"}, {"name", "Dmx"}}),
                 screen("9", "Empty")});
}

std::vector<const Element*> screens_of(const Element& root) {
  return child_elements(*child_elements(*child_elements(root)[0])[0]);
}

std::vector<const Element*> layers_of(const Element& screen_element) {
  return child_elements(*child_elements(screen_element)[1]);
}

TEST(ApplyCopy, ScreenBetweenIdenticalPresetsIsRenamedAndRenumbered) {
  const Element source = sample_preset();
  Element target = sample_preset();
  CopyOperation request = screen_request("1");
  request.target_screen_unique_id = "nowhere";  // Ignored for screens.
  auto result = apply_copy(source, target, request);
  ASSERT_TRUE(result) << result.error().message();
  EXPECT_TRUE(result->completed);
  EXPECT_THAT(result->messages,
              ElementsAre("Screen name 'Main' existed in target; renamed to 'Main (Copy)'."));
  EXPECT_EQ(source, sample_preset());

  auto screens = screens_of(target);
  ASSERT_EQ(screens.size(), 4u);
  const Element& copy = *screens[3];
  EXPECT_EQ(get_screen_name(copy), "Main (Copy)");
  EXPECT_EQ(*copy.attr("name"), "Main (Copy)");
  // Target uniqueIds reach 9: screen, slice and mask follow in document order; the mask's
  // reference to the slice follows the slice.
  EXPECT_EQ(*copy.attr("uniqueId"), "10");
  auto layers = layers_of(copy);
  EXPECT_EQ(*layers[0]->attr("uniqueId"), "11");
  EXPECT_EQ(*layers[1],
            el("Mask", {{"uniqueId", "12"}, {"ref", "11"}}, {name_group("Common", "M")}));
  EXPECT_EQ(*layers[0]->attr("idHash"), "10000000001");
  EXPECT_EQ(
      *child_elements(copy)[2],
      el("OutputDevice", {},
         {el("OutputDeviceVirtual", {{"name", "Main (Copy)"}, {"deviceId", "VirtualMain (Copy)"}}),
          el("OutputDevicePhysical", {{"name", "Main (Copy)"}})}));
  EXPECT_EQ(copy.children.back(), XMLNode{Comment{"kept"}});
  EXPECT_EQ(result->remap.unique_id_map.size(), 3u);
  EXPECT_EQ(result->remap.id_hash_map.size(), 1u);
}

TEST(ApplyCopy, ScreenNamedByAttributeOnlyIsRenamedThere) {
  const Element source = preset({el("Screen", {{"uniqueId", "5"}, {"name", "Main"}})});
  Element target = sample_preset();
  ASSERT_TRUE(apply_copy(source, target, screen_request("5")));
  EXPECT_EQ(*screens_of(target).back(),
            el("Screen", {{"uniqueId", "10"}, {"name", "Main (Copy)"}}));
}

TEST(ApplyCopy, OnlyScreenElementsTakeScreenNames) {
  const Element source = preset({el("Screen", {{"uniqueId", "5"}, {"name", "Dmx"}})});
  Element dmx_only = sample_preset();
  auto result = apply_copy(source, dmx_only, screen_request("5"));
  ASSERT_TRUE(result);
  EXPECT_THAT(result->messages, IsEmpty());

  Element with_screen = preset(
      {el("Screen", {{"uniqueId", "1"}, {"name", "Dmx"}}), el("DmxScreen", {{"name", "Dmx"}})});
  result = apply_copy(source, with_screen, screen_request("5"));
  ASSERT_TRUE(result);
  EXPECT_THAT(result->messages,
              ElementsAre("Screen name 'Dmx' existed in target; renamed to 'Dmx (Copy)'."));
}

TEST(ApplyCopy, SliceIsAppendedToTargetLayersWithFreshIdsAndFreeName) {
  const Element source = sample_preset();
  Element target = sample_preset();
  auto result = apply_copy(source, target, layer_request(NodeKind::Slice, "1", "2", "9"));
  ASSERT_TRUE(result) << result.error().message();
  EXPECT_THAT(result->messages, IsEmpty());  // Screen "9" holds no slice yet.

  result = apply_copy(source, target, layer_request(NodeKind::Slice, "1", "2", "1"));
  ASSERT_TRUE(result) << result.error().message();
  EXPECT_THAT(result->messages,
              ElementsAre("Slice name 'Left' existed in target; renamed to 'Left (Copy)'."));
  auto layers = layers_of(*find_screen(target.children, "1"));
  ASSERT_EQ(layers.size(), 3u);
  EXPECT_EQ(*layers[2], el("Slice", {{"uniqueId", "11"}, {"idHash", "10000000002"}},
                           {name_group("Common", "Left (Copy)")}));
  EXPECT_EQ(source, sample_preset());
}

TEST(ApplyCopy, LayerNamesCountPerTag) {
  // Mask "M" into a screen whose only "M" is a slice: no rename.
  Element target = preset({screen("1", "T", {slice("2", "M")})});
  auto result = apply_copy(sample_preset(), target, layer_request(NodeKind::Mask, "1", "3", "1"));
  ASSERT_TRUE(result);
  EXPECT_THAT(result->messages, IsEmpty());

  // Unnamed layers are named by their tag: the note is made, the element keeps its shape.
  const Element source = preset({screen("1", "S", {el("Mask", {{"uniqueId", "4"}})})});
  Element unnamed = preset({screen("1", "T", {el("Mask", {{"uniqueId", "2"}})})});
  result = apply_copy(source, unnamed, layer_request(NodeKind::Mask, "1", "4", "1"));
  ASSERT_TRUE(result);
  EXPECT_THAT(result->messages,
              ElementsAre("Mask name 'Mask' existed in target; renamed to 'Mask (Copy)'."));
  EXPECT_EQ(*layers_of(*find_screen(unnamed.children, "1")).back(),
            el("Mask", {{"uniqueId", "3"}}));
}

struct Refusal {
  std::string label;
  Element source;
  Element target;
  CopyOperation request;
  std::string message;
};

CopyOperation with_policy(CopyOperation request, std::string policy) {
  request.collision_policy = std::move(policy);
  return request;
}

std::vector<Refusal> refusals() {
  const Element sample = sample_preset();
  const Element no_setup = el("XmlState", {}, {el("Other")});
  const Element no_layers_target = preset({el("Screen", {{"uniqueId", "1"}}, {el("Params")})});
  const auto bad_kind = static_cast<NodeKind>(7);
  return {
      {"policy case", sample, sample,
       with_policy(layer_request(bad_kind, std::nullopt, "1", std::nullopt), "autorenameremap"),
       "Validation failed: Only autoRenameRemap collision policy is supported in v1"},
      {"kind", sample, sample, layer_request(bad_kind, "1", "2", "1"), "Unsupported copy request"},
      {"screen missing", sample, sample, screen_request("404"), "Source node not found"},
      {"dmx screen", sample, sample, screen_request("8"), "Source node not found"},
      {"screen target without setup", sample, no_setup, screen_request("1"),
       "Validation failed: Target missing /XmlState/ScreenSetup/screens"},
      {"no parent", sample, no_setup, layer_request(NodeKind::Slice, std::nullopt, "2", "1"),
       "Validation failed: Slice/Mask copy requires parentUniqueId"},
      {"parent missing", sample, sample, layer_request(NodeKind::Slice, "404", "2", "1"),
       "Source node not found"},
      {"parent without layers", no_layers_target, sample,
       layer_request(NodeKind::Slice, "1", "2", "1"), "Source node not found"},
      {"slice missing before target check", sample, sample,
       layer_request(NodeKind::Slice, "1", "404", std::nullopt), "Source node not found"},
      {"slice request for a mask", sample, sample, layer_request(NodeKind::Slice, "1", "3", "1"),
       "Source node not found"},
      {"mask request for a slice", sample, sample, layer_request(NodeKind::Mask, "1", "2", "1"),
       "Source node not found"},
      {"no target screen id", sample, sample,
       layer_request(NodeKind::Slice, "1", "2", std::nullopt),
       "Validation failed: targetScreenUniqueId is required"},
      {"target screen missing", sample, sample, layer_request(NodeKind::Slice, "1", "2", "8"),
       "Target screen not found"},
      {"target screen without layers", sample, no_layers_target,
       layer_request(NodeKind::Mask, "1", "3", "1"),
       "Validation failed: Target screen is missing <layers> section"},
  };
}

TEST(ApplyCopy, RefusalsInOrderLeaveTargetAndSourceUnchanged) {
  for (Refusal& c : refusals()) {
    const Element source_before = c.source;
    const Element target_before = c.target;
    const std::string target_text = written(c.target);
    auto result = apply_copy(c.source, c.target, c.request);
    ASSERT_FALSE(result) << c.label;
    EXPECT_EQ(result.error().message(), c.message) << c.label;
    EXPECT_EQ(c.target, target_before) << c.label;
    EXPECT_EQ(written(c.target), target_text) << c.label;
    EXPECT_EQ(c.source, source_before) << c.label;
  }
}

}  // namespace
}  // namespace kivo::merge
