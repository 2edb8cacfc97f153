#include "kivo/stress/mutations.hpp"
#include "kivo/stress/mutations/steps.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress::mutations::steps {
namespace {

bool is_true_ignoring_case(std::string_view text) {
  constexpr std::string_view kTrue = "true";
  if (text.size() != kTrue.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c =
        text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != kTrue[i]) return false;
  }
  return true;
}

std::string toggled(const std::string& current) {
  return current == "1" || is_true_ignoring_case(current) ? "0" : "1";
}

}  // namespace

void toggle_enabled(Element& root, Rng& rng) {
  std::vector<TaggedId> candidates;
  for (std::string& id : screen_ids(root)) candidates.push_back({"Screen", std::move(id)});
  collect_layer_refs_rec(root, candidates);
  const TaggedId* chosen = rng.choose(candidates);
  if (chosen == nullptr) return;
  Element* element = find_element_mut_by_unique_id_tag(root, chosen->id, chosen->tag);
  if (element == nullptr) return;
  Element* group =
      xml_utils::params_by_name(*element, chosen->tag == "Screen" ? "Params" : "Common");
  if (group == nullptr) return;
  const std::string current = find_param_value(group->children, "Enabled").value_or("1");
  xml_utils::set_param_value(*group, "Enabled", toggled(current));
}

}  // namespace kivo::stress::mutations::steps
