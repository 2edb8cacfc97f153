// The planted and held-back faults, and how a fault is planted.
#include <cmath>
#include <cstdio>
#include <iterator>

#include "kivo/stress/guard/test_hooks.hpp"
#include "kivo/validation.hpp"
#include "support/census_call.hpp"

namespace kivo::test::census {

namespace hooks = stress::guard::test_hooks;

EngineResult real_engine(const Element& source, Element& target, const StressOperation& op) {
  if (const auto* copy = std::get_if<StressOperation::Copy>(&op.value)) {
    using kivo::model::NodeKind;
    kivo::model::CopyOperation request;
    request.source.unique_id = copy->source_unique_id;
    request.source.parent_unique_id = copy->source_parent_unique_id;
    request.source.kind = copy->source_kind == "screen"  ? NodeKind::Screen
                          : copy->source_kind == "slice" ? NodeKind::Slice
                                                         : NodeKind::Mask;
    request.collision_policy = copy->collision_policy.value_or("autoRenameRemap");
    request.target_screen_unique_id = copy->target_screen_unique_id;
    return merge::apply_copy(source, target, request);
  }
  const auto& paste = std::get<StressOperation::InputMask>(op.value);
  return merge::apply_slice_input_mask_copy(source, target, paste.source_slice_unique_id,
                                            paste.target_slice_unique_id, paste.allow_overwrite);
}

std::vector<PlantedFault> planted_faults() {
  Faults f;
  f.engine("screen inserted first instead of last", [](const Call& c) {
    if (c.copied("screen")) last_to_front(c.screens().children);
  });
  f.engine("second copy named (Copy 1)", [](const Call& c) {
    if (c.result) rename_in(c, c.target, " (Copy 2)", " (Copy 1)");
  });
  f.engine("renamed screen keeps its output device names", [](const Call& c) {
    if (!c.renamed("screen")) return;
    Element* devices = xml::child(c.added_screen(), "OutputDevice");
    const Element* old_devices = xml::child(c.source_screen(), "OutputDevice");
    if (devices && old_devices) *devices = *old_devices;
  });
  f.engine("renamed layer keeps its old name", [](const Call& c) {
    if (!c.renamed("slice") && !c.renamed("mask")) return;
    const auto& from = *merge::find_screen(c.source.children, *c.copy()->source_parent_unique_id);
    for (const Element* layer : child_elements_of(*xml::child(from, "layers"))) {
      if (layer->attr("uniqueId") && *layer->attr("uniqueId") == c.copy()->source_unique_id)
        merge::set_layer_name(*last_element(c.receiving_layers()), merge::get_layer_name(*layer));
    }
  });
  f.engine("rename note without its final period", [](const Call& c) {
    if (!c.result) return;
    for (std::string& message : c.result->messages) {
      if (message.ends_with("'.") && message.find("renamed") != std::string::npos)
        message.pop_back();
    }
  });
  f.engine("returned remap left empty", [](const Call& c) {
    if (c.result) c.result->remap.unique_id_map.clear();
  });
  f.engine("copied identifiers start two above the largest", [](const Call& c) {
    if (!c.copied("screen")) return;
    each_element(c.added_screen(), [](Element& e) {
      if (const std::string* id = e.attr("uniqueId"))
        e.set_attr("uniqueId", std::to_string(std::stoull(*id) + 1));
    });
  });
  f.engine("mask vertices rebased with x and y swapped", [](const Call& c) {
    c.each_pasted_vertex([](Element& v) {
      if (!v.attr("x") || !v.attr("y")) return;
      const std::string x = *v.attr("x");
      v.set_attr("x", *v.attr("y"));
      v.set_attr("y", x);
    });
  });
  f.engine("mask coordinates written with five decimals", [](const Call& c) {
    c.each_pasted_vertex([](Element& v) {
      if (v.attr("x"))
        v.set_attr("x", merge::format_decimal(std::round(std::stod(*v.attr("x")) * 1e5) / 1e5));
    });
  });
  f.engine("source mask rebased in place", [](const Call& c) {
    if (!c.pasted()) return;
    Element *from = c.source_mask(), *onto = c.target_mask();
    if (from && onto) *from = *onto;
  });
  f.engine("refused overwrite leaves the mask inserted", [](const Call& c) {
    if (!c.paste() || !c.refused("already has")) return;
    auto* onto = const_cast<Element*>(
        merge::find_slice(c.target.children, c.paste()->target_slice_unique_id));
    onto->children.push_back(XMLNode{*c.source_mask()});
  });
  f.engine("overwrite note names the source slice", [](const Call& c) {
    if (!c.pasted() || c.result->messages.empty()) return;
    c.result->messages[0] = "Overwrote existing input mask on target slice '" +
                            c.paste()->source_slice_unique_id + "'.";
  });
  f.engine("missing target slice reported as missing source", [](const Call& c) {
    if (!c.result && c.result.error().kind() == AppError::Kind::MissingTargetScreen)
      c.result = std::unexpected(AppError::missing_source_node());
  });
  f.engine("aspect refusal printed with two decimals", [](const Call& c) {
    if (!c.refused("aspect ratios")) return;
    const std::string text = c.result.error().text();
    const std::size_t open = text.find('(');
    char rewritten[128];
    std::snprintf(rewritten, sizeof rewritten, "%.2f vs %.2f).", std::stod(text.substr(open + 1)),
                  std::stod(text.substr(text.find(" vs ") + 4)));
    c.result = std::unexpected(AppError::validation(text.substr(0, open + 1) + rewritten));
  });
  f.writer("writer leaves '>' unescaped in text", "&gt;", ">");
  f.writer("writer drops the declaration's line break", kDeclaration + "\n", kDeclaration);
  return f.list;
}

// Written after the oracle and never used to shape it: the share of these it catches measures
// how well it judges faults nobody listed.
std::vector<PlantedFault> held_back_faults() {
  Faults f;
  f.engine("copied slice placed first in its layers", [](const Call& c) {
    if (c.copied("slice")) last_to_front(c.receiving_layers().children);
  });
  f.engine("copied mask drops its last contour vertex", [](const Call& c) {
    if (!c.copied("mask")) return;
    Element* contour = xml::child(*last_element(c.receiving_layers()), "Contour");
    if (Element* vertex = contour ? last_element(*contour) : nullptr)
      std::erase_if(contour->children, [&](const XMLNode& n) { return n.as_element() == vertex; });
  });
  f.engine("copied screen keeps the source's idHash values", [](const Call& c) {
    if (!c.copied("screen")) return;
    const auto from = elements_of(c.source_screen()), onto = elements_of(c.added_screen());
    for (std::size_t i = 0; i < from.size() && i < onto.size(); ++i) {
      if (const std::string* hash = from[i]->attr("idHash")) onto[i]->set_attr("idHash", *hash);
    }
  });
  f.engine("copy suffix written in lower case", [](const Call& c) {
    if (c.copied("screen")) rename_in(c, c.added_screen(), " (Copy", " (copy");
  });
  f.engine("renamed screen keeps its old Params name", [](const Call& c) {
    if (!c.renamed("screen")) return;
    if (const std::string* name = c.source_screen().attr("name"))
      set_param(c.added_screen(), "Params", "Name", *name);
  });
  f.engine("copied slice switched off", [](const Call& c) {
    if (c.copied("slice")) set_param(*last_element(c.receiving_layers()), "Common", "Enabled", "0");
  });
  f.engine("pasted mask keeps the source's coordinates", [](const Call& c) {
    if (!c.pasted() || !c.source_mask() || !c.target_mask()) return;
    const auto from = elements_of(*c.source_mask()), onto = elements_of(*c.target_mask());
    for (std::size_t i = 0; i < from.size() && i < onto.size(); ++i) {
      for (const char* axis : {"x", "y"}) {
        if (const std::string* value = from[i]->attr(axis)) onto[i]->set_attr(axis, *value);
      }
    }
  });
  f.engine("overwriting paste leaves the new mask twice", [](const Call& c) {
    if (!c.pasted() || c.result->messages.empty()) return;
    auto* slice = const_cast<Element*>(
        merge::find_slice(c.target.children, c.paste()->target_slice_unique_id));
    if (Element* mask = c.target_mask()) slice->children.push_back(XMLNode{Element(*mask)});
  });
  f.engine("rename notes dropped", [](const Call& c) {
    if (c.result) c.result->messages.clear();
  });
  f.engine("original renamed instead of the copy", [](const Call& c) {
    if (!c.renamed("screen") || !c.source_screen().attr("name")) return;
    const std::string base = *c.source_screen().attr("name");
    Element& added = c.added_screen();
    for (XMLNode& n : c.screens().children) {
      Element* screen = n.as_element();
      if (!screen || screen == &added || !screen->attr("name") || *screen->attr("name") != base)
        continue;
      screen->set_attr("name", *added.attr("name"));
      added.set_attr("name", base);
      return;
    }
  });
  f.engine("unknown collision policy treated as the default", [](const Call& c) {
    if (c.result || !c.copy() || !c.copy()->collision_policy) return;
    StressOperation lenient = c.op;
    std::get<StressOperation::Copy>(lenient.value).collision_policy.reset();
    c.result = real_engine(c.source, c.target, lenient);
  });
  f.engine("copied comments lost", [](const Call& c) {
    if (!c.copied("screen")) return;
    each_element(c.added_screen(), [](Element& e) {
      std::erase_if(e.children, [](const XMLNode& n) { return !n.as_element(); });
    });
  });
  f.writer("writer leaves carriage returns unescaped", "&#xD;", "\r");
  f.writer("writer indents with tabs", "\n  ", "\n\t");
  return f.list;
}

Planted::Planted(const PlantedFault& fault) {
  if (auto corrupt = fault.corrupt) {
    hooks::set_engine_override(
        [corrupt](const Element& source, Element& target, const StressOperation& op) {
          const Element before = target;
          EngineResult result = real_engine(source, target, op);
          corrupt({source, target, op, result, before});
          return result;
        });
  }
  if (!fault.from.empty()) {
    hooks::set_writer_override([from = fault.from, to = fault.to](const Element& root) {
      auto text = xml::write_xml_string(root);
      if (text) replace_all(*text, from, to);
      return text;
    });
  }
  if (auto misread = fault.misread) {
    hooks::set_reader_override([misread](std::string_view text) {
      auto tree = xml::parse(text);
      if (tree) misread(*tree);
      return tree;
    });
  }
  if (auto misvalidate = fault.misvalidate) {
    hooks::set_validation_override([misvalidate](const Element& root) {
      auto messages = validation::validate_doc(root);
      misvalidate(root, messages);
      return messages;
    });
  }
}

Planted::~Planted() {
  hooks::set_engine_override({});
  hooks::set_writer_override({});
  hooks::set_reader_override({});
  hooks::set_validation_override({});
}

std::vector<PlantedFault> all_faults() {
  std::vector<PlantedFault> all = planted_faults();
  for (auto list : {held_back_faults(), situation_faults(), document_faults()}) {
    std::ranges::move(list, std::back_inserter(all));
  }
  return all;
}

}  // namespace kivo::test::census
