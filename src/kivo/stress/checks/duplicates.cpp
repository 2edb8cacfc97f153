#include <algorithm>
#include <array>

#include "kivo/stress/checks.hpp"

namespace kivo::stress::checks {

// Runs before and after every step: the values seen are viewed in place, not copied.
std::unordered_set<std::string> duplicate_attr_values(const Element& root, std::string_view name) {
  std::unordered_set<std::string_view> seen;
  std::unordered_set<std::string> duplicates;
  std::vector<const Element*> pending{&root};
  while (!pending.empty()) {
    const Element* element = pending.back();
    pending.pop_back();
    if (const std::string* value = element->attr(name); value && !seen.insert(*value).second) {
      duplicates.insert(*value);
    }
    for (const XMLNode& child : element->children) {
      if (const Element* child_element = child.as_element()) pending.push_back(child_element);
    }
  }
  return duplicates;
}

std::array<std::unordered_set<std::string>, 2> duplicate_identities(const Element& root) {
  static const Name kNames[2] = {Name("uniqueId"), Name("idHash")};
  std::unordered_set<std::string_view> seen[2];
  std::array<std::unordered_set<std::string>, 2> duplicates;
  std::vector<const Element*> pending{&root};
  while (!pending.empty()) {
    const Element* element = pending.back();
    pending.pop_back();
    bool found[2] = {false, false};
    for (const auto& [name, value] : element->attributes) {
      for (std::size_t i = 0; i < 2; ++i) {
        if (found[i] || name != kNames[i]) continue;
        found[i] = true;
        if (!seen[i].insert(value).second) duplicates[i].insert(value);
      }
    }
    for (const XMLNode& child : element->children) {
      if (const Element* child_element = child.as_element()) pending.push_back(child_element);
    }
  }
  return duplicates;
}

Result<void> ensure_no_fresh_duplicate_attrs(const Element& before, const Element& after,
                                             std::string_view name) {
  return ensure_no_fresh_duplicates(duplicate_attr_values(before, name), after, name);
}

Result<void> ensure_no_fresh_duplicates(const std::unordered_set<std::string>& before_duplicates,
                                        const Element& after, std::string_view name) {
  return ensure_no_fresh_duplicates(before_duplicates, duplicate_attr_values(after, name), name);
}

Result<void> ensure_no_fresh_duplicates(const std::unordered_set<std::string>& before_duplicates,
                                        const std::unordered_set<std::string>& after_duplicates,
                                        std::string_view name) {
  std::vector<std::string> fresh;
  for (const std::string& value : after_duplicates) {
    if (!before_duplicates.contains(value)) fresh.push_back(value);
  }
  if (fresh.empty()) return {};
  // Sorted so that the message, and the trace hash that contains it, repeat exactly.
  std::sort(fresh.begin(), fresh.end());
  std::string listed;
  for (const std::string& value : fresh) listed += (listed.empty() ? "" : ", ") + value;
  return std::unexpected(
      Error("New duplicate " + std::string(name) + " values introduced: " + listed));
}

}  // namespace kivo::stress::checks
