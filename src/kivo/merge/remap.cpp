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

}  // namespace

model::Remap remap_ids_for_insert(Element& inserted, const Element& target_root) {
  model::Remap remap;
  remap.unique_id_map = assign_fresh_ids(inserted, target_root, "uniqueId", 1);
  remap.id_hash_map = assign_fresh_ids(inserted, target_root, "idHash", 10000000000ULL);
  // The idHash pass runs over the result of the uniqueId pass.
  xml_utils::replace_attr_values(inserted, remap.unique_id_map);
  xml_utils::replace_attr_values(inserted, remap.id_hash_map);
  return remap;
}

}  // namespace kivo::merge
