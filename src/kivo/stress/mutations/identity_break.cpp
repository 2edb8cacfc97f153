#include "kivo/stress/mutations.hpp"
#include "kivo/stress/mutations/steps.hpp"

namespace kivo::stress::mutations::steps {

void break_identity(Element& root, Rng& rng) {
  std::vector<TaggedId> refs;
  collect_ids_with_tags_rec(root, refs);
  if (refs.empty()) return;
  rng.shuffle(refs);
  const bool duplicate = rng.gen_bool(0.5);
  if (refs.size() == 1 || !duplicate) {
    if (Element* element = find_element_mut_by_unique_id_tag(root, refs[0].id, refs[0].tag)) {
      element->attributes.remove("uniqueId");
    }
    return;
  }
  if (refs[0].tag != refs[1].tag) return;
  if (Element* element = find_element_mut_by_unique_id_tag(root, refs[1].id, refs[1].tag)) {
    element->set_attr("uniqueId", refs[0].id);
  }
}

}  // namespace kivo::stress::mutations::steps
