// Steps in words, with the names a person knows the screens and layers by.
#include <functional>
#include <variant>

#include "kivo/stress/report.hpp"

namespace kivo::stress::report {
namespace {

std::string in_quotes(std::string_view text) {
  std::string out(1, '\'');
  out += text;
  out += '\'';
  return out;
}

// "Slice 'Left' (uniqueId 52)", or "Slice (uniqueId 52)" when it has no name, or
// "Slice with uniqueId 52 (not in the source)" when it is not found.
std::string layer_words(std::string_view kind, const Element* node, std::string_view id,
                        std::string_view document) {
  if (!node) {
    return std::string(kind) + " with uniqueId " + std::string(id) + " (not in the " +
           std::string(document) + ")";
  }
  const auto name = display_name(*node);
  std::string words(kind);
  if (name) words.append(1, ' ').append(in_quotes(*name));
  return words.append(" (uniqueId ").append(id).append(1, ')');
}

// "screen 'Main'", or "screen with uniqueId 5" when unnamed or not found.
std::string screen_words(const Element* screen, std::string_view id) {
  if (screen) {
    if (auto name = display_name(*screen)) return "screen " + in_quotes(*name);
  }
  return "screen with uniqueId " + std::string(id);
}

std::string_view kind_words(std::string_view kind) {
  if (kind == "screen") return "Screen";
  if (kind == "slice") return "Slice";
  if (kind == "mask") return "Mask";
  return kind;
}

std::string copy_words(const StressCopy& copy, const Element& source, const Element& target) {
  const std::string_view kind = kind_words(copy.source_kind);
  std::string words =
      "copy " + layer_words(kind, find_by_unique_id(source, kind, copy.source_unique_id),
                            copy.source_unique_id, "source");
  if (copy.source_parent_unique_id) {
    const std::string& parent = *copy.source_parent_unique_id;
    words += " from " + screen_words(find_by_unique_id(source, "Screen", parent), parent) +
             " of the source";
  } else {
    words += " from the source";
  }
  if (copy.target_screen_unique_id) {
    const std::string& into = *copy.target_screen_unique_id;
    const Element* screen = find_by_unique_id(target, "Screen", into);
    words += " into " + screen_words(screen, into) + " of the target";
    if (!screen) words += " (not in the target)";
  } else {
    words += " into the target";
  }
  if (copy.collision_policy) words += ", collision policy " + in_quotes(*copy.collision_policy);
  return words;
}

std::string paste_words(const StressOperation::InputMask& paste, const Element& source,
                        const Element& target) {
  const std::string& from = paste.source_slice_unique_id;
  const std::string& onto = paste.target_slice_unique_id;
  std::string words =
      "paste the input mask of " +
      layer_words("Slice", find_by_unique_id(source, "Slice", from), from, "source") +
      " of the source onto " +
      layer_words("Slice", find_by_unique_id(target, "Slice", onto), onto, "target");
  if (const Element* screen = screen_holding(target, onto)) {
    const std::string* id = screen->attr("uniqueId");
    words += " in " + screen_words(screen, id ? *id : "?");
  }
  words += " of the target";
  words += paste.allow_overwrite ? ", overwriting allowed" : ", overwriting not allowed";
  return words;
}

const Element* find_rec(const Element& node, std::string_view tag, std::string_view id) {
  const std::string* own = node.attr("uniqueId");
  if (own && *own == id && (tag.empty() || node.name == tag)) return &node;
  for (const XMLNode& child : node.children) {
    if (const Element* element = child.as_element()) {
      if (const Element* found = find_rec(*element, tag, id)) return found;
    }
  }
  return nullptr;
}

const Element* screen_holding_rec(const Element& node, std::string_view id, const Element* screen) {
  if (node.name == "Screen") screen = &node;
  const std::string* own = node.attr("uniqueId");
  if (own && *own == id && screen != &node) return screen;
  for (const XMLNode& child : node.children) {
    if (const Element* element = child.as_element()) {
      if (const Element* found = screen_holding_rec(*element, id, screen)) return found;
    }
  }
  return nullptr;
}

}  // namespace

std::optional<std::string> display_name(const Element& node) {
  for (const XMLNode& child : node.children) {
    const Element* params = child.as_element();
    if (!params || params->name != "Params") continue;
    for (const XMLNode& inner : params->children) {
      const Element* param = inner.as_element();
      const std::string* name = param ? param->attr("name") : nullptr;
      if (param && param->name == "Param" && name && *name == "Name" && param->attr("value")) {
        return *param->attr("value");
      }
    }
  }
  if (const std::string* name = node.attr("name")) return *name;
  return std::nullopt;
}

const Element* find_by_unique_id(const Element& root, std::string_view tag, std::string_view id) {
  return find_rec(root, tag, id);
}

const Element* screen_holding(const Element& root, std::string_view id) {
  return screen_holding_rec(root, id, nullptr);
}

std::string step_words(const StressOperation& operation, const Element& source,
                       const Element& target) {
  if (const auto* copy = std::get_if<StressCopy>(&operation.value)) {
    return copy_words(*copy, source, target);
  }
  return paste_words(std::get<StressOperation::InputMask>(operation.value), source, target);
}

std::string expected_words(const ExpectedOutcome& expected) {
  if (std::holds_alternative<ExpectedOutcome::Success>(expected.value)) return "success";
  if (std::holds_alternative<ExpectedOutcome::Any>(expected.value)) return "any outcome";
  return "an error containing " +
         in_quotes(std::get<ExpectedOutcome::ErrorContains>(expected.value).fragment);
}

}  // namespace kivo::stress::report
