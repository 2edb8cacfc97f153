#include <limits>
#include <vector>

#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle::detail {
namespace {

// "+"? digits, at most 2^64 - 1; leading zeros allowed.
std::optional<std::uint64_t> numeric_reading(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

void gather(const Element& element, std::string_view attribute, std::vector<std::string>& out) {
  if (const std::string* value = element.attr(attribute)) out.push_back(*value);
  for (const XMLNode& node : element.children) {
    if (const Element* child = node.as_element()) gather(*child, attribute, out);
  }
}

IdMap fresh_values(const Element& subtree, const Element& target, std::string_view attribute,
                   std::uint64_t fallback) {
  std::vector<std::string> used_list;
  gather(target, attribute, used_list);
  std::unordered_set<std::string> used(used_list.begin(), used_list.end());
  std::optional<std::uint64_t> largest;
  for (const std::string& value : used) {
    auto number = numeric_reading(value);
    if (number && (!largest || *number > *largest)) largest = number;
  }
  std::uint64_t counter = largest.value_or(fallback);
  std::vector<std::string> old_values;
  gather(subtree, attribute, old_values);
  IdMap mapping;
  for (const std::string& old_value : old_values) {
    std::string candidate;
    do {
      candidate = std::to_string(++counter);
    } while (used.contains(candidate));
    used.insert(candidate);
    mapping[old_value] = candidate;
  }
  return mapping;
}

// Each attribute value is looked up once: a replaced value is never replaced again.
void rewrite(Element& element, const IdMap& mapping) {
  if (mapping.empty()) return;
  for (auto& entry : element.attributes.entries()) {
    auto found = mapping.find(entry.second);
    if (found != mapping.end()) entry.second = found->second;
  }
  for (XMLNode& node : element.children) {
    if (Element* child = node.as_element()) rewrite(*child, mapping);
  }
}

}  // namespace

void renumber(Element& subtree, const Element& target, IdMap& unique_ids, IdMap& id_hashes) {
  unique_ids = fresh_values(subtree, target, "uniqueId", 1);
  id_hashes = fresh_values(subtree, target, "idHash", 10000000000ULL);
  rewrite(subtree, unique_ids);
  rewrite(subtree, id_hashes);
}

}  // namespace kivo::stress::oracle::detail
