#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <unordered_set>

#include "kivo/merge.hpp"
#include "kivo/merge/preset_builders.hpp"
#include "kivo/xml_utils.hpp"

// Copies over the bundled template: every success keeps identifiers unique and survives the XML
// round trip; every refusal leaves the target's text as it was.
namespace kivo::merge {
namespace {

using merge_test::written;
using model::CopyOperation;
using model::NodeKind;

constexpr const char* kTemplatePath = KIVO_SOURCE_DIR "/Sample_files/fully_loaded.xml";

Element load_template() {
  std::ifstream file(kTemplatePath, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  auto root = xml_utils::parse(text.str());
  return root ? *root : Element::make("unreadable");
}

struct NodeAt {
  NodeKind kind;
  std::string id;
  std::optional<std::string> parent;
};

// Every screen, slice and mask of the screens list that carries a uniqueId.
std::vector<NodeAt> copyable_nodes(const Element& root) {
  std::vector<NodeAt> nodes;
  const Element* setup = xml_utils::child(root, "ScreenSetup");
  const Element* screens = setup ? xml_utils::child(*setup, "screens") : nullptr;
  if (!screens) return nodes;
  for (const XMLNode& node : screens->children) {
    const Element* screen = node.as_element();
    const std::string* screen_id = screen ? screen->attr("uniqueId") : nullptr;
    if (!screen_id || screen->name != "Screen") continue;
    nodes.push_back({NodeKind::Screen, *screen_id, std::nullopt});
    const Element* layers = xml_utils::child(*screen, "layers");
    if (!layers) continue;
    for (const XMLNode& layer_node : layers->children) {
      const Element* layer = layer_node.as_element();
      const std::string* layer_id = layer ? layer->attr("uniqueId") : nullptr;
      if (!layer_id) continue;
      if (layer->name == "Slice") nodes.push_back({NodeKind::Slice, *layer_id, *screen_id});
      if (layer->name == "Mask") nodes.push_back({NodeKind::Mask, *layer_id, *screen_id});
    }
  }
  return nodes;
}

std::vector<std::string> slice_ids(const Element& root) {
  std::vector<std::string> ids;
  for (const NodeAt& node : copyable_nodes(root)) {
    if (node.kind == NodeKind::Slice) ids.push_back(node.id);
  }
  return ids;
}

CopyOperation request_for(const NodeAt& node) {
  CopyOperation request;
  request.source = {node.id, node.parent, 0, node.kind};
  request.collision_policy = "autoRenameRemap";
  request.target_screen_unique_id = node.parent;
  return request;
}

// Values of `attribute` that occur more than once in the tree.
std::vector<std::string> duplicates(const Element& root, std::string_view attribute) {
  std::vector<std::string> values;
  xml_utils::gather_attr_values(root, attribute, values);
  std::unordered_set<std::string> seen;
  std::vector<std::string> repeated;
  for (const std::string& value : values) {
    if (!seen.insert(value).second) repeated.push_back(value);
  }
  return repeated;
}

void expect_sound(const Element& target, const std::string& label) {
  EXPECT_EQ(duplicates(target, "uniqueId"), std::vector<std::string>{}) << label;
  EXPECT_EQ(duplicates(target, "idHash"), std::vector<std::string>{}) << label;
  const std::string text = written(target);
  auto reread = xml_utils::parse(text);
  ASSERT_TRUE(reread) << label << ": " << reread.error().message();
  EXPECT_EQ(written(*reread), text) << label;
}

std::string label_of(const NodeAt& node) {
  return "kind " + std::to_string(static_cast<int>(node.kind)) + " id " + node.id;
}

class TemplateCopies : public ::testing::Test {
 protected:
  void SetUp() override {
    tmpl_ = load_template();
    ASSERT_EQ(tmpl_.name, "XmlState") << "cannot read " << kTemplatePath;
    nodes_ = copyable_nodes(tmpl_);
    ASSERT_FALSE(nodes_.empty());
    expect_sound(tmpl_, "template");
  }

  Element tmpl_;
  std::vector<NodeAt> nodes_;
};

TEST_F(TemplateCopies, EveryNodeCopiesIntoTheTemplateSoundly) {
  const Element source = tmpl_;
  Element target = tmpl_;
  int screens = 0;
  int layers = 0;
  for (const NodeAt& node : nodes_) {
    auto result = apply_copy(source, target, request_for(node));
    ASSERT_TRUE(result) << label_of(node) << ": " << result.error().message();
    ASSERT_EQ(result->messages.size(), 1u) << label_of(node);  // Every name is taken already.
    expect_sound(target, label_of(node));
    (node.kind == NodeKind::Screen ? screens : layers) += 1;
  }
  EXPECT_EQ(source, tmpl_);
  EXPECT_GT(screens, 0);
  EXPECT_GT(layers, 0);
}

TEST_F(TemplateCopies, InputMaskPastesSucceedSoundlyOrLeaveTargetAsItWas) {
  const Element source = tmpl_;
  const std::string template_text = written(tmpl_);
  const std::vector<std::string> slices = slice_ids(tmpl_);
  int pasted = 0;
  int refused = 0;
  // Each slice onto six slices spread over the template (itself included), both flags.
  for (std::size_t from = 0; from < slices.size(); ++from) {
    for (std::size_t step = 0; step < 6; ++step) {
      const std::string& onto = slices[(from + step * 7) % slices.size()];
      for (bool overwrite : {false, true}) {
        Element target = tmpl_;
        auto result = apply_slice_input_mask_copy(source, target, slices[from], onto, overwrite);
        const std::string label = slices[from] + " onto " + onto;
        if (result) {
          ++pasted;
          expect_sound(target, label);
        } else {
          ++refused;
          EXPECT_EQ(written(target), template_text) << label << ": " << result.error().message();
        }
      }
    }
  }
  EXPECT_EQ(source, tmpl_);
  EXPECT_GT(pasted, 0);
  EXPECT_GT(refused, 0);
}

// Requests that each node turns into a refusal, with the target they are sent to.
std::vector<std::pair<CopyOperation, Element>> refused_requests(const NodeAt& node,
                                                                const Element& tmpl) {
  std::vector<std::pair<CopyOperation, Element>> out;
  CopyOperation policy = request_for(node);
  policy.collision_policy = "AutoRenameRemap";
  out.emplace_back(policy, tmpl);
  CopyOperation kind = request_for(node);
  kind.source.kind = static_cast<NodeKind>(3);
  out.emplace_back(kind, tmpl);
  CopyOperation missing = request_for(node);
  missing.source.unique_id += "-missing";
  out.emplace_back(missing, tmpl);

  Element no_setup = tmpl;
  std::erase_if(no_setup.children, [](const XMLNode& child) {
    return child.as_element() && child.as_element()->name == "ScreenSetup";
  });
  if (node.kind == NodeKind::Screen) {
    out.emplace_back(request_for(node), no_setup);
    return out;
  }
  CopyOperation no_parent = request_for(node);
  no_parent.source.parent_unique_id.reset();
  out.emplace_back(no_parent, tmpl);
  CopyOperation other_kind = request_for(node);
  other_kind.source.kind = node.kind == NodeKind::Slice ? NodeKind::Mask : NodeKind::Slice;
  out.emplace_back(other_kind, tmpl);
  CopyOperation no_target = request_for(node);
  no_target.target_screen_unique_id.reset();
  out.emplace_back(no_target, tmpl);
  CopyOperation unknown_target = request_for(node);
  unknown_target.target_screen_unique_id = "no-such-screen";
  out.emplace_back(unknown_target, tmpl);
  out.emplace_back(request_for(node), no_setup);
  Element no_layers = tmpl;
  Element* screen = find_screen_mut(no_layers.children, *node.parent);
  std::erase_if(screen->children, [](const XMLNode& child) {
    return child.as_element() && child.as_element()->name == "layers";
  });
  out.emplace_back(request_for(node), no_layers);
  return out;
}

TEST_F(TemplateCopies, EveryRefusalLeavesTheWrittenTargetAsItWas) {
  const Element source = tmpl_;
  int refusals = 0;
  for (const NodeAt& node : nodes_) {
    for (auto& [request, target] : refused_requests(node, tmpl_)) {
      const std::string before = written(target);
      auto result = apply_copy(source, target, request);
      ASSERT_FALSE(result) << label_of(node) << " refusal " << refusals;
      EXPECT_EQ(written(target), before) << label_of(node) << ": " << result.error().message();
      ++refusals;
    }
  }
  EXPECT_EQ(source, tmpl_);
}

}  // namespace
}  // namespace kivo::merge
