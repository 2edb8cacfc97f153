#include "kivo/stress/mutations.hpp"
#include "kivo/stress/mutations/steps.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress::mutations::steps {
namespace {

struct IndexPair {
  std::size_t first;
  std::size_t second;
};

// Two draws from [0, n), the second moved on by one when they agree; n >= 2.
IndexPair pick_two(Rng& rng, std::size_t n) {
  const auto i = static_cast<std::size_t>(rng.gen_range(0, n));
  auto j = static_cast<std::size_t>(rng.gen_range(0, n));
  if (j == i) j = (i + 1) % n;
  return {i, j};
}

std::optional<std::string> group_name(const Element& element, std::string_view group) {
  const Element* params = params_by_name(element.children, group);
  if (params == nullptr) return std::nullopt;
  return find_param_value(params->children, "Name");
}

void set_group_name(Element& element, std::string_view group, const std::string& name) {
  if (Element* params = xml_utils::params_by_name(element, group)) {
    xml_utils::set_param_value(*params, "Name", name);
  }
}

void set_screen_name(Element& screen, const std::string& name) {
  screen.set_attr("name", name);
  set_group_name(screen, "Params", name);
}

void collide_screen_names(Element& root, Rng& rng) {
  const std::vector<std::string> ids = screen_ids(root);
  if (ids.size() < 2) return;
  const IndexPair pick = pick_two(rng, ids.size());
  const Element* source = find_element_by_unique_id_tag(root, ids[pick.first], "Screen");
  if (source == nullptr) return;
  std::optional<std::string> name = group_name(*source, "Params");
  if (!name && source->attr("name") != nullptr) name = *source->attr("name");
  if (!name) return;
  if (Element* target = find_element_mut_by_unique_id_tag(root, ids[pick.second], "Screen")) {
    set_screen_name(*target, *name);
  }
}

void collide_layer_names(Element& root, Rng& rng) {
  std::vector<TaggedId> layers;
  collect_layer_refs_rec(root, layers);
  if (layers.size() < 2) return;
  const IndexPair pick = pick_two(rng, layers.size());
  const TaggedId& from = layers[pick.first];
  const Element* source = find_element_by_unique_id_tag(root, from.id, from.tag);
  if (source == nullptr) return;
  const std::optional<std::string> name = group_name(*source, "Common");
  if (!name) return;
  const TaggedId& to = layers[pick.second];
  if (Element* target = find_element_mut_by_unique_id_tag(root, to.id, to.tag)) {
    set_group_name(*target, "Common", *name);
  }
}

}  // namespace

std::vector<std::string> screen_ids(const Element& root) {
  std::vector<std::string> ids;
  collect_ids_by_tag_rec(root, "Screen", ids);
  return ids;
}

std::string name_number(Rng& rng) { return std::to_string(rng.gen_range(1, 10000)); }

void rename_screen(Element& root, Rng& rng) {
  const std::vector<std::string> ids = screen_ids(root);
  const std::string* id = rng.choose(ids);
  if (id == nullptr) return;
  Element* screen = find_element_mut_by_unique_id_tag(root, *id, "Screen");
  if (screen == nullptr) return;
  set_screen_name(*screen, "Screen " + name_number(rng));
}

void rename_layer(Element& root, Rng& rng) {
  std::vector<TaggedId> layers;
  collect_layer_refs_rec(root, layers);
  const TaggedId* ref = rng.choose(layers);
  if (ref == nullptr) return;
  Element* layer = find_element_mut_by_unique_id_tag(root, ref->id, ref->tag);
  if (layer == nullptr) return;
  set_group_name(*layer, "Common", ref->tag + " " + name_number(rng));
}

void collide_names(Element& root, Rng& rng) {
  if (rng.gen_bool(0.5)) {
    collide_screen_names(root, rng);
  } else {
    collide_layer_names(root, rng);
  }
}

}  // namespace kivo::stress::mutations::steps
