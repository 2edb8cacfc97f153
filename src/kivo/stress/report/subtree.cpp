// Which part of the target the page shows for the failing step.
#include <algorithm>
#include <variant>

#include "kivo/stress/report.hpp"

namespace kivo::stress::report {
namespace {

// The path of the first element with uniqueId `id` (and name `tag` unless empty).
bool path_to(const Element& node, std::string_view tag, std::string_view id, Path& path) {
  const std::string* own = node.attr("uniqueId");
  if (own && *own == id && (tag.empty() || node.name == tag)) return true;
  for (std::size_t i = 0; i < node.children.size(); ++i) {
    const Element* child = node.children[i].as_element();
    if (!child) continue;
    path.push_back(i);
    if (path_to(*child, tag, id, path)) return true;
    path.pop_back();
  }
  return false;
}

bool path_to_name(const Element& node, std::string_view tag, Path& path) {
  if (node.name == tag) return true;
  for (std::size_t i = 0; i < node.children.size(); ++i) {
    const Element* child = node.children[i].as_element();
    if (!child) continue;
    path.push_back(i);
    if (path_to_name(*child, tag, path)) return true;
    path.pop_back();
  }
  return false;
}

// Children are compared whole; a difference lies in the first pair that differs.
void difference_rec(const Element& a, const Element& b, Path& path) {
  if (a.name != b.name || a.attributes != b.attributes || a.children.size() != b.children.size()) {
    return;
  }
  for (std::size_t i = 0; i < a.children.size(); ++i) {
    if (a.children[i] == b.children[i]) continue;
    const Element* left = a.children[i].as_element();
    const Element* right = b.children[i].as_element();
    if (!left || !right) return;
    path.push_back(i);
    difference_rec(*left, *right, path);
    return;
  }
}

Path common_prefix(const Path& a, const Path& b) {
  Path prefix;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()) && a[i] == b[i]; ++i) {
    prefix.push_back(a[i]);
  }
  return prefix;
}

}  // namespace

std::optional<Path> first_difference_path(const Element& a, const Element& b) {
  if (a == b) return std::nullopt;
  Path path;
  difference_rec(a, b, path);
  return path;
}

Path receiving_path(const Element& before, const StressOperation& operation) {
  Path path;
  if (const auto* copy = std::get_if<StressCopy>(&operation.value)) {
    if (copy->source_kind != "screen" && copy->target_screen_unique_id &&
        path_to(before, "Screen", *copy->target_screen_unique_id, path)) {
      return path;
    }
    path.clear();
    if (path_to_name(before, "screens", path)) return path;
    return {};
  }
  const auto& paste = std::get<StressOperation::InputMask>(operation.value);
  if (path_to(before, "Slice", paste.target_slice_unique_id, path)) return path;
  return {};
}

Path affected_path(const Element& before, const std::vector<const Element*>& others,
                   const StressOperation& operation) {
  Path path = receiving_path(before, operation);
  for (const Element* other : others) {
    if (!other) continue;
    if (auto difference = first_difference_path(before, *other)) {
      path = common_prefix(path, *difference);
    }
  }
  return path;
}

std::string path_words(const Element& root, const Path& path) {
  std::string words = "/" + root.name.str();
  const Element* node = &root;
  for (std::size_t index : path) {
    if (!node || index >= node->children.size()) break;
    node = node->children[index].as_element();
    if (!node) break;
    words += "/" + node->name.str() + "[" + std::to_string(index) + "]";
  }
  return words;
}

}  // namespace kivo::stress::report
