#include <algorithm>
#include <array>

#include "kivo/stress/checks.hpp"

namespace kivo::stress::checks {

namespace {

// Runs before and after every step: one walk for all `names`, the values seen are viewed in place,
// not copied. An element's first attribute of a name counts, as for `Element::attr`.
template <std::size_t N>
std::array<std::unordered_set<std::string>, N> duplicates_of(const Element& root,
                                                             const std::array<Name, N>& names) {
  std::array<std::unordered_set<std::string_view>, N> seen;
  std::array<std::unordered_set<std::string>, N> duplicates;
  std::vector<const Element*> pending{&root};
  while (!pending.empty()) {
    const Element* element = pending.back();
    pending.pop_back();
    std::array<bool, N> found{};
    for (const auto& [name, value] : element->attributes) {
      for (std::size_t i = 0; i < N; ++i) {
        if (found[i] || name != names[i]) continue;
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

}  // namespace

std::unordered_set<std::string> duplicate_attr_values(const Element& root, std::string_view name) {
  return std::move(duplicates_of<1>(root, {Name(name)})[0]);
}

IdentityDuplicates duplicate_identities(const Element& root) {
  static const std::array<Name, 2> kNames = {Name(kIdentityAttributes[0]),
                                             Name(kIdentityAttributes[1])};
  return duplicates_of(root, kNames);
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
