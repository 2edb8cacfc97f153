#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kivo/merge.hpp"
#include "support/presets.hpp"

namespace kivo::merge {
namespace {

using namespace kivo::test;
using model::CopyOperation;
using model::NodeKind;
using ::testing::ElementsAre;

CopyOperation request(NodeKind kind, std::string id, std::optional<std::string> parent = {},
                      std::optional<std::string> target_screen = {}) {
  CopyOperation copy;
  copy.source = {std::move(id), std::move(parent), 0, kind};
  copy.collision_policy = "autoRenameRemap";
  copy.target_screen_unique_id = std::move(target_screen);
  return copy;
}

CopyOperation screen_request(std::string id) { return request(NodeKind::Screen, std::move(id)); }

// The messages of a copy that must succeed, leaving the source alone.
std::vector<std::string> copied(const Element& source, Element& target, const CopyOperation& copy) {
  const Element before = source;
  auto result = apply_copy(source, target, copy);
  EXPECT_EQ(source, before);
  if (!result) return {"refused: " + result.error().message()};
  EXPECT_TRUE(result->completed);
  return result->messages;
}

const std::string kData = KIVO_SOURCE_DIR "/tests/data/merge/";

// Screen "1" "Main" with slice "2" "Left", mask "3" "M" referring to it, an output device and a
// comment; a DmxScreen "8" and an empty screen "9".
Element sample_preset() { return parse_doc(read_whole_file(kData + "sample_preset.xml")); }

TEST(ApplyCopy, ScreenBetweenIdenticalPresetsIsRenamedAndRenumbered) {
  Element target = sample_preset();
  CopyOperation copy = screen_request("1");
  copy.target_screen_unique_id = "nowhere";  // ignored for screens
  auto result = apply_copy(sample_preset(), target, copy);
  ASSERT_TRUE(result) << result.error().message();
  EXPECT_THAT(result->messages,
              ElementsAre("Screen name 'Main' existed in target; renamed to 'Main (Copy)'."));
  // Appended last. Target uniqueIds reach 9: screen, slice and mask follow in document order;
  // the mask's reference to the slice follows the slice, the output device names the screen's.
  EXPECT_EQ(written(target), read_whole_file(kData + "sample_preset_with_main_copied.xml"));
  EXPECT_EQ(result->remap.unique_id_map.size(), 3u);
  EXPECT_EQ(result->remap.id_hash_map.size(), 1u);
  // A name given only as an attribute counts as well.
  EXPECT_THAT(copied(preset({el("Screen", {{"uniqueId", "5"}, {"name", "Main"}})}), target,
                     screen_request("5")),
              ElementsAre("Screen name 'Main' existed in target; renamed to 'Main (Copy 2)'."));
}

// The new uniqueId 2 equals the copied screen's old idHash, and a reference names that idHash: each
// attribute is rewritten once, by the map of its own kind, so identifiers stay fresh and the map
// tells where each went.
TEST(ApplyCopy, IdentifiersOfOverlappingRangesAreRewrittenOnceByTheirOwnKind) {
  Element target = preset({el("Screen", {{"uniqueId", "1"}, {"idHash", "3"}, {"name", "T"}})});
  const Element source = preset(
      {el("Screen", {{"uniqueId", "7"}, {"idHash", "2"}, {"name", "S"}},
          {el("Slice", {{"uniqueId", "8"}, {"idHash", "9"}, {"ref", "2"}, {"link", "7"}})})});
  auto result = apply_copy(source, target, screen_request("7"));
  ASSERT_TRUE(result) << result.error().message();
  EXPECT_EQ(result->remap.unique_id_map,
            (std::unordered_map<std::string, std::string>{{"7", "2"}, {"8", "3"}}));
  EXPECT_EQ(result->remap.id_hash_map,
            (std::unordered_map<std::string, std::string>{{"2", "4"}, {"9", "5"}}));
  EXPECT_EQ(*child_elements(*xml_utils::child(*xml_utils::child(target, "ScreenSetup"), "screens"))
                 .back(),
            el("Screen", {{"uniqueId", "2"}, {"idHash", "4"}, {"name", "S"}},
               {el("Slice", {{"uniqueId", "3"}, {"idHash", "5"}, {"ref", "4"}, {"link", "2"}})}));
}

TEST(ApplyCopy, RefusalsInOrderLeaveTargetAndSourceUnchanged) {
  const Element sample = sample_preset();
  const Element no_setup = el("XmlState", {}, {el("Other")});
  const Element no_layers = preset({el("Screen", {{"uniqueId", "1"}}, {el("Params")})});
  const auto bad_kind = static_cast<NodeKind>(7);
  CopyOperation policy = request(bad_kind, "1");
  policy.collision_policy = "autorenameremap";
  const struct {
    const Element& source;
    const Element& target;
    CopyOperation copy;
    std::string message;
  } cases[] = {
      {sample, sample, policy,
       "Validation failed: Only autoRenameRemap collision policy is supported in v1"},
      {sample, sample, request(bad_kind, "2", "1", "1"), "Unsupported copy request"},
      {sample, sample, screen_request("8"), "Source node not found"},  // a DmxScreen
      {sample, no_setup, screen_request("1"),
       "Validation failed: Target missing /XmlState/ScreenSetup/screens"},
      {sample, no_setup, request(NodeKind::Slice, "2", {}, "1"),
       "Validation failed: Slice/Mask copy requires parentUniqueId"},
      {sample, sample, request(NodeKind::Slice, "2", "404", "1"), "Source node not found"},
      {no_layers, sample, request(NodeKind::Slice, "2", "1", "1"), "Source node not found"},
      // Layers are looked up by id and tag.
      {sample, sample, request(NodeKind::Slice, "3", "1", "1"), "Source node not found"},
      {sample, sample, request(NodeKind::Mask, "2", "1", "1"), "Source node not found"},
      {sample, sample, request(NodeKind::Slice, "2", "1"),
       "Validation failed: targetScreenUniqueId is required"},
      {sample, sample, request(NodeKind::Slice, "2", "1", "8"), "Target screen not found"},
      {sample, no_layers, request(NodeKind::Mask, "3", "1", "1"),
       "Validation failed: Target screen is missing <layers> section"},
  };
  for (const auto& c : cases) {
    Element target = c.target;
    EXPECT_THAT(copied(c.source, target, c.copy), ElementsAre("refused: " + c.message));
    EXPECT_EQ(target, c.target) << c.message;
  }
}

}  // namespace
}  // namespace kivo::merge
