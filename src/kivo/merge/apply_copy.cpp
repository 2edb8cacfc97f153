#include "kivo/merge.hpp"
#include "kivo/merge/renaming.hpp"
#include "kivo/merge/tree_paths.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::merge {
namespace {

using CopyOutcome = std::expected<model::CopyResult, AppError>;

CopyOutcome refuse(std::string text) {
  return std::unexpected(AppError::validation(std::move(text)));
}

// One out-of-line maker for the three uses: GCC 12 with the sanitizers mistakes the inlined empty
// payload for an uninitialised string when the construction is inlined at every return.
[[gnu::noinline]] CopyOutcome missing_source() {
  return std::unexpected(AppError::missing_source_node());
}

model::CopyResult completed(std::vector<std::string> messages, model::Remap remap) {
  return model::CopyResult{std::move(messages), std::move(remap), true};
}

// The first `tag` layer of the screen's first `layers` whose uniqueId is `id`.
const Element* find_layer(const Element& screen, std::string_view tag, std::string_view id) {
  const Element* layers = xml_utils::child(screen, "layers");
  if (!layers) return nullptr;
  for (const XMLNode& node : layers->children) {
    const Element* layer = node.as_element();
    if (layer && layer->name == tag && detail::has_unique_id(*layer, id)) return layer;
  }
  return nullptr;
}

// The copy stays detached until the final append, so every refusal leaves the target as it was.
CopyOutcome copy_screen(const Element& source, Element& target, const model::TreeNodeRef& ref) {
  const Element* original = find_screen(source.children, ref.unique_id);
  if (!original) return missing_source();
  Element copy = *original;
  std::vector<std::string> messages;
  detail::rename_copied_screen(copy, detail::collect_screen_names(target), messages);
  model::Remap remap = remap_ids_for_insert(copy, target);
  Element* screens = detail::screens_list_mut(target.children);
  if (!screens) return refuse("Target missing /XmlState/ScreenSetup/screens");
  screens->children.push_back(XMLNode{std::move(copy)});
  return completed(std::move(messages), std::move(remap));
}

CopyOutcome copy_layer(const Element& source, Element& target, const model::CopyOperation& request,
                       std::string_view tag) {
  const model::TreeNodeRef& ref = request.source;
  if (!ref.parent_unique_id) return refuse("Slice/Mask copy requires parentUniqueId");
  const Element* source_screen = find_screen(source.children, *ref.parent_unique_id);
  if (!source_screen) return missing_source();
  if (!xml_utils::child(*source_screen, "layers")) {
    return missing_source();
  }
  const Element* original = find_layer(*source_screen, tag, ref.unique_id);
  if (!original) return missing_source();
  Element copy = *original;

  if (!request.target_screen_unique_id) return refuse("targetScreenUniqueId is required");
  const std::string& target_screen_id = *request.target_screen_unique_id;
  const Element* target_screen = find_screen(target.children, target_screen_id);
  if (!target_screen) return std::unexpected(AppError::missing_target_screen());
  std::vector<std::string> messages;
  detail::rename_copied_layer(copy, tag, collect_layer_names(target_screen->children, tag),
                              messages);
  model::Remap remap = remap_ids_for_insert(copy, target);

  Element* receiving_screen = find_screen_mut(target.children, target_screen_id);
  if (!receiving_screen) return std::unexpected(AppError::missing_target_screen());
  Element* layers = xml_utils::child(*receiving_screen, "layers");
  if (!layers) return refuse("Target screen is missing <layers> section");
  layers->children.push_back(XMLNode{std::move(copy)});
  return completed(std::move(messages), std::move(remap));
}

}  // namespace

CopyOutcome apply_copy(const Element& source, Element& target,
                       const model::CopyOperation& request) {
  if (request.collision_policy != "autoRenameRemap") {
    return refuse("Only autoRenameRemap collision policy is supported in v1");
  }
  switch (request.source.kind) {
    case model::NodeKind::Screen:
      return copy_screen(source, target, request.source);
    case model::NodeKind::Slice:
      return copy_layer(source, target, request, "Slice");
    case model::NodeKind::Mask:
      return copy_layer(source, target, request, "Mask");
  }
  return std::unexpected(AppError::unsupported_copy());
}

}  // namespace kivo::merge
