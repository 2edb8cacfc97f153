#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "kivo/merge.hpp"
#include "kivo/number_text.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::merge {
namespace {

using IdMap = std::unordered_map<std::string, std::string>;

std::vector<std::string> gather(const Element& element, std::string_view attribute) {
  std::vector<std::string> values;
  xml_utils::gather_attr_values(element, attribute, values);
  return values;
}

// Largest numeric reading among `values`, or `fallback` when none has one.
std::uint64_t counter_start(const std::vector<std::string>& values, std::uint64_t fallback) {
  std::optional<std::uint64_t> largest;
  for (const std::string& value : values) {
    std::optional<std::uint64_t> number = parse_u64(value);
    if (number && (!largest || *number > *largest)) largest = number;
  }
  return largest.value_or(fallback);
}

// Gives each old value of `attribute` in `inserted`, in pre-order, the next counter value that
// the target does not use. A repeated old value maps to its last candidate.
IdMap assign_fresh_ids(const Element& inserted, const Element& target_root,
                       std::string_view attribute, std::uint64_t fallback_start) {
  std::vector<std::string> target_values = gather(target_root, attribute);
  std::uint64_t counter = counter_start(target_values, fallback_start);
  std::unordered_set<std::string> used;
  used.reserve(target_values.size());
  for (std::string& value : target_values) used.insert(std::move(value));

  IdMap mapping;
  for (std::string& old_value : gather(inserted, attribute)) {
    std::string candidate;
    do {
      ++counter;  // Unsigned: wraps to 0 past the largest value.
      candidate = std::to_string(counter);
    } while (used.contains(candidate));
    used.insert(candidate);
    mapping.insert_or_assign(std::move(old_value), std::move(candidate));
  }
  return mapping;
}

// The maps that may rewrite attribute `name`, in the order they are tried: an identifier only
// by the map of its own kind, any other attribute (a reference) by the uniqueId map first.
std::array<const IdMap*, 2> maps_for(std::string_view name, const model::Remap& remap) {
  if (name == "uniqueId") return {&remap.unique_id_map, nullptr};
  if (name == "idHash") return {&remap.id_hash_map, nullptr};
  return {&remap.unique_id_map, &remap.id_hash_map};
}

// Rewrites each attribute of the subtree once at most. Rewriting a new value again would let a
// new uniqueId that equals an old idHash become an idHash value and clash with the target.
void rewrite_once(Element& element, const model::Remap& remap) {
  for (auto& [name, value] : element.attributes.entries()) {
    for (const IdMap* map : maps_for(name, remap)) {
      if (!map) break;
      if (auto found = map->find(value); found != map->end()) {
        value = found->second;
        break;
      }
    }
  }
  for (XMLNode& node : element.children) {
    if (Element* nested = node.as_element()) rewrite_once(*nested, remap);
  }
}

}  // namespace

model::Remap remap_ids_for_insert(Element& inserted, const Element& target_root) {
  model::Remap remap;
  remap.unique_id_map = assign_fresh_ids(inserted, target_root, "uniqueId", 1);
  remap.id_hash_map = assign_fresh_ids(inserted, target_root, "idHash", 10000000000ULL);
  rewrite_once(inserted, remap);
  return remap;
}

}  // namespace kivo::merge
