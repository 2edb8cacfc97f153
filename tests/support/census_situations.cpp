// Faults that only a situation of the strict corpus or plans reveals: each changes what the engine
// does only where two things are wrong in one request, a value sits exactly on a limit, identifier
// ranges overlap or end, display names disagree, or a document is shaped unusually.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "kivo/number_text.hpp"
#include "support/census_call.hpp"

namespace kivo::test::census {
namespace {

using Box = merge::InputBounds;

std::optional<Box> box_of(const Element& root, const std::string& slice_id) {
  const Element* slice = merge::find_slice(root.children, slice_id);
  if (!slice) return std::nullopt;
  auto box = merge::parse_slice_input_bounds(slice->children, slice_id);
  return box ? std::optional<Box>(*box) : std::nullopt;
}

std::string fixed3(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

// Turns the call into a refusal with `error`, the target as it was.
void refuse(const Call& c, AppError error) {
  c.target = c.target_before;
  c.result = std::unexpected(std::move(error));
}

// The subtree the call inserted, or nullptr.
Element* inserted(const Call& c) {
  if (!c.result) return nullptr;
  if (c.paste()) return c.target_mask();
  if (c.copy()->source_kind == "screen") return &c.added_screen();
  return last_element(c.receiving_layers());
}

// The part of the source the call copied, or nullptr.
const Element* original(const Call& c) {
  if (c.paste()) return c.source_mask();
  if (c.copy()->source_kind == "screen") return &c.source_screen();
  const auto* from = merge::find_screen(c.source.children, *c.copy()->source_parent_unique_id);
  const Element* layers = from ? xml::child(*from, "layers") : nullptr;
  for (const Element* layer : layers ? child_elements_of(*layers) : std::vector<const Element*>{}) {
    if (layer->attr("uniqueId") && *layer->attr("uniqueId") == c.copy()->source_unique_id)
      return layer;
  }
  return nullptr;
}

std::vector<std::string> values_of(const Element& root, const char* attribute) {
  std::vector<std::string> values;
  xml::gather_attr_values(root, attribute, values);
  return values;
}

// Every attribute of the subtree named `attribute` whose value is a key of `to`, rewritten.
void rewrite(Element& subtree, const char* attribute,
             const std::unordered_map<std::string, std::string>& to) {
  each_element(subtree, [&](Element& e) {
    const std::string* value = e.attr(attribute);
    if (value && to.contains(*value)) e.set_attr(attribute, to.at(*value));
  });
}

// Each pasted vertex with the source vertex it came from, and the two boxes.
void each_rebased(const Call& c, const std::function<void(Element&, double x, double y)>& change) {
  if (!c.pasted() || !c.target_mask() || !c.source_mask()) return;
  const Box from = *box_of(c.source, c.paste()->source_slice_unique_id);
  const Box onto = *box_of(c.target, c.paste()->target_slice_unique_id);
  const auto sources = elements_of(*c.source_mask()), pasted = elements_of(*c.target_mask());
  for (std::size_t i = 0; i < sources.size() && i < pasted.size(); ++i) {
    if (pasted[i]->name != "v") continue;
    const double x = *parse_f64(*sources[i]->attr("x")), y = *parse_f64(*sources[i]->attr("y"));
    change(*pasted[i], onto.x + ((x - from.x) / from.width) * onto.width,
           onto.y + ((y - from.y) / from.height) * onto.height);
  }
}

// The rename note a screen or layer copy makes under another naming rule, or none.
std::vector<std::string> note_under(const std::string& what, const std::string& old_name,
                                    const std::unordered_set<std::string>& taken) {
  const std::string new_name = merge::resolve_name_conflict(old_name, taken);
  if (new_name == old_name) return {};
  return {what + " name '" + old_name + "' existed in target; renamed to '" + new_name + "'."};
}

std::string attribute_first_name(const Element& screen) {
  if (const std::string* name = screen.attr("name")) return *name;
  return merge::get_screen_name(screen);
}

// The layer name when the lookup stops at the first Name parameter, with or without a value.
std::string first_param_name(const Element& layer) {
  const Element* common = xml::params_by_name(layer, "Common");
  for (const Element* p : common ? child_elements_of(*common) : std::vector<const Element*>{}) {
    if (p->name == "Param" && p->attr("name") && *p->attr("name") == "Name")
      return p->attr("value") ? *p->attr("value") : layer.name.str();
  }
  return layer.name;
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

const Element* first_ignoring_case(const Element& parent, std::string_view name) {
  for (const Element* child : child_elements_of(parent)) {
    if (equals_ignoring_case(child->name, name)) return child;
  }
  return nullptr;
}

const Element* under_screen_only(const Element& root, const std::string& id) {
  const Element* list = xml::child(*xml::child(root, "ScreenSetup"), "screens");
  for (const Element* screen : child_elements_of(*list)) {
    const Element* layers = screen->name == "Screen" ? xml::child(*screen, "layers") : nullptr;
    for (const Element* slice :
         layers ? child_elements_of(*layers) : std::vector<const Element*>{}) {
      if (slice->name == "Slice" && slice->attr("uniqueId") && *slice->attr("uniqueId") == id)
        return slice;
    }
  }
  return nullptr;
}

std::optional<std::uint64_t> largest_reading(const Element& root, const char* attribute,
                                             bool signed_too) {
  std::optional<std::uint64_t> largest;
  for (const std::string& value : values_of(root, attribute)) {
    if (!signed_too && value.starts_with('+')) continue;
    auto number = parse_u64(value);
    if (number && (!largest || *number > *largest)) largest = number;
  }
  return largest;
}

// New values of `attribute` in the inserted subtree moved by `shift`, in the subtree and the map.
void shift_new_values(const Call& c, const char* attribute, std::int64_t shift) {
  auto& map = std::string(attribute) == "uniqueId" ? c.result->remap.unique_id_map
                                                   : c.result->remap.id_hash_map;
  std::unordered_map<std::string, std::string> moved;
  for (auto& [old_value, new_value] : map) {
    const std::string shifted = std::to_string(std::stoull(new_value) + shift);
    moved[new_value] = shifted;
    new_value = shifted;
  }
  rewrite(*inserted(c), attribute, moved);
}

}  // namespace

std::vector<PlantedFault> situation_faults() {
  Faults f;
  f.engine("overwrite refused before the target rectangle is read", [](const Call& c) {
    if (!c.paste() || c.paste()->allow_overwrite || c.result) return;
    if (!c.refused("Slice '" + c.paste()->target_slice_unique_id + "' has")) return;
    if (mask_of(c.target, c.paste()->target_slice_unique_id))
      refuse(c, AppError::validation(
                    "Target slice already has an input mask. Confirm overwrite and retry."));
  });
  f.engine("target screen looked up before the source layer", [](const Call& c) {
    if (!c.copy() || c.copy()->source_kind == "screen" || c.result) return;
    if (c.result.error().kind() != AppError::Kind::MissingSourceNode) return;
    if (!c.copy()->target_screen_unique_id) {
      refuse(c, AppError::validation("targetScreenUniqueId is required"));
    } else if (!merge::find_screen(c.target.children, *c.copy()->target_screen_unique_id)) {
      refuse(c, AppError::missing_target_screen());
    }
  });
  f.engine("aspect limit itself refused", [](const Call& c) {
    if (!c.pasted()) return;
    const Box a = *box_of(c.source, c.paste()->source_slice_unique_id);
    const Box b = *box_of(c.target_before, c.paste()->target_slice_unique_id);
    const double p = a.width / a.height, q = b.width / b.height;
    if ((p > q ? p / q : q / p) != 1.35) return;
    refuse(c, AppError::validation(
                  "Input mask paste blocked: source and target slice aspect ratios are too "
                  "different (" +
                  fixed3(p) + " vs " + fixed3(q) + ")."));
  });
  f.engine("zero-size limit itself refused", [](const Call& c) {
    if (!c.pasted()) return;
    for (const auto& [root, id] :
         {std::pair{&c.source, c.paste()->source_slice_unique_id},
          std::pair{&c.target_before, c.paste()->target_slice_unique_id}}) {
      const Box box = *box_of(*root, id);
      if (box.width == 1e-6 || box.height == 1e-6)
        return refuse(c,
                      AppError::validation("Slice '" + id +
                                           "' has zero-size InputRect, cannot paste input mask."));
    }
  });
  f.engine("coordinates rounded after scaling by a million", [](const Call& c) {
    each_rebased(c, [](Element& v, double x, double y) {
      v.set_attr("x", merge::format_decimal(std::round(x * 1e6) / 1e6));
      v.set_attr("y", merge::format_decimal(std::round(y * 1e6) / 1e6));
    });
  });
  f.engine("tiny negative coordinates written as -0", [](const Call& c) {
    each_rebased(c, [](Element& v, double x, double y) {
      if (x < 0 && x > -5e-7) v.set_attr("x", "-0");
      if (y < 0 && y > -5e-7) v.set_attr("y", "-0");
    });
  });
  f.engine("new uniqueIds rewritten again by the idHash map", [](const Call& c) {
    if (Element* subtree = inserted(c)) rewrite(*subtree, "uniqueId", c.result->remap.id_hash_map);
  });
  f.engine("a repeated identifier keeps its first new value", [](const Call& c) {
    Element* subtree = inserted(c);
    const Element* from = subtree ? original(c) : nullptr;
    if (!from) return;
    const std::uint64_t start = largest_reading(c.target_before, "uniqueId", true).value_or(1);
    const auto old_values = values_of(*from, "uniqueId");
    std::unordered_map<std::string, std::string> first;
    for (std::size_t i = 0; i < old_values.size(); ++i)
      first.try_emplace(old_values[i], std::to_string(start + 1 + i));
    std::unordered_map<std::string, std::string> back;
    for (auto& [old_value, new_value] : c.result->remap.unique_id_map) {
      if (first.at(old_value) == new_value) continue;
      back[new_value] = first.at(old_value);
      new_value = first.at(old_value);
    }
    rewrite(*subtree, "uniqueId", back);
  });
  f.engine("counter end wraps onto taken values", [](const Call& c) {
    Element* subtree = inserted(c);
    if (!subtree || largest_reading(c.target_before, "uniqueId", true) != UINT64_MAX) return;
    std::uint64_t next = 0;
    each_element(*subtree, [&](Element& e) {
      if (e.attr("uniqueId")) e.set_attr("uniqueId", std::to_string(next++));
    });
  });
  f.engine("idHash counter starts at 1 without numeric idHash", [](const Call& c) {
    if (!inserted(c) || largest_reading(c.target_before, "idHash", true)) return;
    shift_new_values(c, "idHash", 1 - 10000000000LL);
  });
  f.engine("identifiers with a sign not read as numbers", [](const Call& c) {
    if (!inserted(c)) return;
    const auto all = largest_reading(c.target_before, "uniqueId", true);
    const auto unsigned_only = largest_reading(c.target_before, "uniqueId", false);
    if (all && all != unsigned_only)
      shift_new_values(c, "uniqueId", -static_cast<std::int64_t>(*all - unsigned_only.value_or(1)));
  });
  f.engine("screen display name prefers the name attribute", [](const Call& c) {
    if (!c.copied("screen")) return;
    std::unordered_set<std::string> taken;
    const Element* list = xml::child(*xml::child(c.target_before, "ScreenSetup"), "screens");
    for (const Element* screen : child_elements_of(*list))
      if (screen->name == "Screen") taken.insert(attribute_first_name(*screen));
    c.result->messages = note_under("Screen", attribute_first_name(c.source_screen()), taken);
  });
  f.engine("layer name lookup stops at the first Name parameter", [](const Call& c) {
    if (!c.copied("slice") && !c.copied("mask")) return;
    const std::string tag = c.copy()->source_kind == "slice" ? "Slice" : "Mask";
    std::unordered_set<std::string> taken;
    auto* screen = merge::find_screen(c.target_before.children, *c.copy()->target_screen_unique_id);
    for (const Element* layer : child_elements_of(*xml::child(*screen, "layers")))
      if (layer->name == tag) taken.insert(first_param_name(*layer));
    c.result->messages = note_under(tag, first_param_name(*original(c)), taken);
  });
  f.engine("slices found only under Screen elements", [](const Call& c) {
    if (!c.paste() || !c.result) return;
    if (!under_screen_only(c.source, c.paste()->source_slice_unique_id)) {
      refuse(c, AppError::missing_source_node());
    } else if (!under_screen_only(c.target_before, c.paste()->target_slice_unique_id)) {
      refuse(c, AppError::missing_target_screen());
    }
  });
  f.engine("child lookups ignore letter case", [](const Call& c) {
    if (!c.copied("slice") && !c.copied("mask")) return;
    // The source screen's layers are looked for first: a look-alike there hides the layer.
    const auto* from = merge::find_screen(c.source.children, *c.copy()->source_parent_unique_id);
    if (first_ignoring_case(*from, "layers") != xml::child(*from, "layers")) {
      return refuse(c, AppError::missing_source_node());
    }
    auto* screen = merge::find_screen_mut(c.target.children, *c.copy()->target_screen_unique_id);
    Element* decoy = const_cast<Element*>(first_ignoring_case(*screen, "layers"));
    Element& layers = *xml::child(*screen, "layers");
    if (decoy == &layers) return;
    decoy->children.push_back(std::move(layers.children.back()));
    layers.children.pop_back();
  });
  return f.list;
}

}  // namespace kivo::test::census
