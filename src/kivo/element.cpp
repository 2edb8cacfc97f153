#include "kivo/element.hpp"

#include <algorithm>

namespace kivo {

const std::string* Attributes::get(std::string_view name) const {
  for (const auto& [key, value] : entries_) {
    if (key == name) return &value;
  }
  return nullptr;
}

void Attributes::set(std::string_view name, std::string value) {
  for (auto& [key, existing] : entries_) {
    if (key == name) {
      existing = std::move(value);
      return;
    }
  }
  entries_.emplace_back(Name(name), std::move(value));
}

bool Attributes::remove(std::string_view name) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const Entry& entry) { return entry.first == name; });
  if (it == entries_.end()) return false;
  entries_.erase(it);
  return true;
}

Element Element::make(std::string_view name) {
  Element element;
  element.name = Name(name);
  return element;
}

}  // namespace kivo
