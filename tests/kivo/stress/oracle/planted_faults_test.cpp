// Planted copy-engine and writer faults: a strict fast run must catch each one with a case that
// replays, while the unmodified engine passes.
#include <gtest/gtest.h>

#include <functional>

#include "kivo/merge.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/replay/fault_hook.hpp"
#include "kivo/stress/runner.hpp"
#include "kivo/xml_utils.hpp"
#include "support/presets.hpp"
#include "support/temp_dir.hpp"

namespace {

using kivo::AppError;
using kivo::Element;
using kivo::XMLNode;
using kivo::model::CopyResult;
using kivo::stress::StressOperation;
namespace hooks = kivo::stress::replay::test_hooks;
using EngineResult = std::expected<CopyResult, AppError>;
using Corruption = std::function<void(const Element& source, Element& target,
                                      const StressOperation& op, EngineResult& result)>;

EngineResult real_engine(const Element& source, Element& target, const StressOperation& op) {
  if (const auto* copy = std::get_if<StressOperation::Copy>(&op.value)) {
    kivo::model::NodeKind kind = copy->source_kind == "screen"  ? kivo::model::NodeKind::Screen
                                 : copy->source_kind == "slice" ? kivo::model::NodeKind::Slice
                                                                : kivo::model::NodeKind::Mask;
    kivo::model::CopyOperation request;
    request.source.unique_id = copy->source_unique_id;
    request.source.parent_unique_id = copy->source_parent_unique_id;
    request.source.kind = kind;
    request.collision_policy = copy->collision_policy.value_or("autoRenameRemap");
    request.target_screen_unique_id = copy->target_screen_unique_id;
    return kivo::merge::apply_copy(source, target, request);
  }
  const auto& paste = std::get<StressOperation::InputMask>(op.value);
  return kivo::merge::apply_slice_input_mask_copy(source, target, paste.source_slice_unique_id,
                                                  paste.target_slice_unique_id,
                                                  paste.allow_overwrite);
}

bool is_copy(const StressOperation& op, const char* kind) {
  const auto* copy = std::get_if<StressOperation::Copy>(&op.value);
  return copy && copy->source_kind == kind;
}

Element& screens(Element& root) {
  return *kivo::xml_utils::child(*kivo::xml_utils::child(root, "ScreenSetup"), "screens");
}

Element* last_element(Element& parent) {
  for (auto it = parent.children.rbegin(); it != parent.children.rend(); ++it) {
    if (Element* element = it->as_element()) return element;
  }
  return nullptr;
}

void each_element(Element& element, const std::function<void(Element&)>& visit) {
  visit(element);
  for (XMLNode& node : element.children) {
    if (Element* child = node.as_element()) each_element(*child, visit);
  }
}

Element* find_slice(Element& root, const std::string& id) {
  return const_cast<Element*>(kivo::merge::find_slice(root.children, id));
}

Element* mask_of(Element* slice) {
  return slice ? kivo::xml_utils::child(*slice, "SliceMask") : nullptr;
}

void on_pasted_mask(const StressOperation& op, Element& target, EngineResult& result,
                    const std::function<void(Element&)>& change) {
  const auto* paste = std::get_if<StressOperation::InputMask>(&op.value);
  if (!paste || !result) return;
  if (Element* mask = mask_of(find_slice(target, paste->target_slice_unique_id))) change(*mask);
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
}

struct PlantedFault {
  const char* name;
  Corruption corrupt;
  std::function<void(std::string&)> rewrite_text;
};

std::vector<PlantedFault> planted_faults() {
  return {
      {"screen inserted first instead of last",
       [](const Element&, Element& target, const StressOperation& op, EngineResult& result) {
         if (!result || !is_copy(op, "screen")) return;
         auto& list = screens(target).children;
         std::rotate(list.rbegin(), list.rbegin() + 1, list.rend());
       },
       {}},
      {"second copy named (Copy 1)",
       [](const Element&, Element& target, const StressOperation&, EngineResult& result) {
         if (!result) return;
         for (std::string& message : result->messages)
           replace_all(message, " (Copy 2)'", " (Copy 1)'");
         each_element(target, [](Element& e) {
           for (auto& [name, value] : e.attributes.entries()) {
             if (value.ends_with(" (Copy 2)")) value.replace(value.size() - 9, 9, " (Copy 1)");
           }
         });
       },
       {}},
      {"renamed screen keeps its output device names",
       [](const Element& source, Element& target, const StressOperation& op, EngineResult& result) {
         if (!result || !is_copy(op, "screen") || result->messages.empty()) return;
         const auto& copy = std::get<StressOperation::Copy>(op.value);
         const Element* original = kivo::merge::find_screen(source.children, copy.source_unique_id);
         Element* devices = kivo::xml_utils::child(*last_element(screens(target)), "OutputDevice");
         const Element* old_devices = kivo::xml_utils::child(*original, "OutputDevice");
         if (devices && old_devices) *devices = *old_devices;
       },
       {}},
      {"renamed layer keeps its old name",
       [](const Element& source, Element& target, const StressOperation& op, EngineResult& result) {
         if (!result || !std::holds_alternative<StressOperation::Copy>(op.value) ||
             is_copy(op, "screen") || result->messages.empty()) {
           return;
         }
         const auto& copy = std::get<StressOperation::Copy>(op.value);
         const Element* screen =
             kivo::merge::find_screen(target.children, *copy.target_screen_unique_id);
         Element* layers = kivo::xml_utils::child(*const_cast<Element*>(screen), "layers");
         Element* layer = last_element(*layers);
         kivo::merge::set_layer_name(*layer, kivo::merge::get_layer_name(*[&] {
           const Element* s =
               kivo::merge::find_screen(source.children, *copy.source_parent_unique_id);
           for (const XMLNode& n : kivo::xml_utils::child(*s, "layers")->children) {
             const Element* e = n.as_element();
             if (e && e->attr("uniqueId") && *e->attr("uniqueId") == copy.source_unique_id)
               return e;
           }
           return s;
         }()));
       },
       {}},
      {"rename note without its final period",
       [](const Element&, Element&, const StressOperation&, EngineResult& result) {
         if (!result) return;
         for (std::string& message : result->messages) {
           if (message.ends_with("'.") && message.find("renamed") != std::string::npos)
             message.pop_back();
         }
       },
       {}},
      {"returned remap left empty",
       [](const Element&, Element&, const StressOperation&, EngineResult& result) {
         if (result) result->remap.unique_id_map.clear();
       },
       {}},
      {"copied identifiers start two above the largest",
       [](const Element&, Element& target, const StressOperation& op, EngineResult& result) {
         if (!result || !is_copy(op, "screen")) return;
         each_element(*last_element(screens(target)), [](Element& e) {
           if (auto* id = const_cast<std::string*>(e.attr("uniqueId")))
             *id = std::to_string(std::stoull(*id) + 1);
         });
       },
       {}},
      {"mask vertices rebased with x and y swapped",
       [](const Element&, Element& target, const StressOperation& op, EngineResult& result) {
         on_pasted_mask(op, target, result, [](Element& mask) {
           each_element(mask, [](Element& v) {
             if (v.name == "v" && v.attr("x") && v.attr("y")) {
               std::string x = *v.attr("x");
               v.set_attr("x", *v.attr("y"));
               v.set_attr("y", x);
             }
           });
         });
       },
       {}},
      {"mask coordinates written with five decimals",
       [](const Element&, Element& target, const StressOperation& op, EngineResult& result) {
         on_pasted_mask(op, target, result, [](Element& mask) {
           each_element(mask, [](Element& v) {
             if (v.name != "v" || !v.attr("x")) return;
             char text[64];
             std::snprintf(text, sizeof text, "%.5f", std::stod(*v.attr("x")));
             std::string value = text;
             while (value.back() == '0') value.pop_back();
             if (value.back() == '.') value.pop_back();
             v.set_attr("x", value);
           });
         });
       },
       {}},
      {"source mask rebased in place",
       [](const Element& source, Element& target, const StressOperation& op, EngineResult& result) {
         const auto* paste = std::get_if<StressOperation::InputMask>(&op.value);
         if (!paste || !result) return;
         Element* from =
             mask_of(find_slice(const_cast<Element&>(source), paste->source_slice_unique_id));
         Element* onto = mask_of(find_slice(target, paste->target_slice_unique_id));
         if (from && onto) *from = *onto;
       },
       {}},
      {"refused overwrite leaves the mask inserted",
       [](const Element& source, Element& target, const StressOperation& op, EngineResult& result) {
         const auto* paste = std::get_if<StressOperation::InputMask>(&op.value);
         if (!paste || result || result.error().text().find("already has") == std::string::npos)
           return;
         Element* onto = find_slice(target, paste->target_slice_unique_id);
         const Element* from =
             kivo::merge::find_slice(source.children, paste->source_slice_unique_id);
         onto->children.push_back(XMLNode{*kivo::xml_utils::child(*from, "SliceMask")});
       },
       {}},
      {"overwrite note names the source slice",
       [](const Element&, Element&, const StressOperation& op, EngineResult& result) {
         const auto* paste = std::get_if<StressOperation::InputMask>(&op.value);
         if (!paste || !result || result->messages.empty()) return;
         result->messages[0] = "Overwrote existing input mask on target slice '" +
                               paste->source_slice_unique_id + "'.";
       },
       {}},
      {"missing target slice reported as missing source",
       [](const Element&, Element&, const StressOperation&, EngineResult& result) {
         if (!result && result.error().kind() == AppError::Kind::MissingTargetScreen) {
           result = std::unexpected(AppError::missing_source_node());
         }
       },
       {}},
      {"aspect refusal printed with two decimals",
       [](const Element&, Element&, const StressOperation&, EngineResult& result) {
         if (result || result.error().text().find("aspect ratios") == std::string::npos) return;
         std::string text = result.error().text();
         const std::size_t open = text.find('(');
         const double a = std::stod(text.substr(open + 1)),
                      b = std::stod(text.substr(text.find(" vs ") + 4));
         char rewritten[128];
         std::snprintf(rewritten, sizeof rewritten, "%.2f vs %.2f).", a, b);
         result = std::unexpected(AppError::validation(text.substr(0, open + 1) + rewritten));
       },
       {}},
      {"writer leaves '>' unescaped in text",
       {},
       [](std::string& text) { replace_all(text, "&gt;", ">"); }},
      {"writer drops the declaration's line break",
       {},
       [](std::string& text) {
         if (auto at = text.find('\n'); at != std::string::npos) text.erase(at, 1);
       }},
  };
}

// The layers of the screen a slice or mask copy went into.
Element* receiving_layers(Element& target, const StressOperation& op) {
  const auto& copy = std::get<StressOperation::Copy>(op.value);
  const Element* screen = kivo::merge::find_screen(target.children, *copy.target_screen_unique_id);
  return screen ? kivo::xml_utils::child(*const_cast<Element*>(screen), "layers") : nullptr;
}

std::vector<Element*> elements_of(Element& root) {
  std::vector<Element*> all;
  each_element(root, [&](Element& e) { all.push_back(&e); });
  return all;
}

void set_param(Element& node, const char* group, const char* param, const std::string& value) {
  for (XMLNode& n : node.children) {
    Element* params = n.as_element();
    if (!params || params->name != "Params" || !params->attr("name") ||
        *params->attr("name") != group) {
      continue;
    }
    for (XMLNode& p : params->children) {
      Element* e = p.as_element();
      if (e && e->attr("name") && *e->attr("name") == param) e->set_attr("value", value);
    }
  }
}

// Written after the oracle and never used to shape it: the share of these it catches measures
// how well it judges faults nobody listed.
std::vector<PlantedFault> held_back_faults() {
  return {
      {"copied slice placed first in its layers",
       [](const Element&, Element& target, const StressOperation& op, EngineResult& result) {
         if (!result || !is_copy(op, "slice")) return;
         auto& list = receiving_layers(target, op)->children;
         std::rotate(list.rbegin(), list.rbegin() + 1, list.rend());
       },
       {}},
      {"copied mask drops its last contour vertex",
       [](const Element&, Element& target, const StressOperation& op, EngineResult& result) {
         if (!result || !is_copy(op, "mask")) return;
         Element* contour =
             kivo::xml_utils::child(*last_element(*receiving_layers(target, op)), "Contour");
         if (Element* vertex = contour ? last_element(*contour) : nullptr) {
           std::erase_if(contour->children,
                         [&](const XMLNode& n) { return n.as_element() == vertex; });
         }
       },
       {}},
      {"copied screen keeps the source's idHash values",
       [](const Element& source, Element& target, const StressOperation& op, EngineResult& result) {
         if (!result || !is_copy(op, "screen")) return;
         const auto& copy = std::get<StressOperation::Copy>(op.value);
         Element original = *kivo::merge::find_screen(source.children, copy.source_unique_id);
         const auto from = elements_of(original),
                    onto = elements_of(*last_element(screens(target)));
         for (std::size_t i = 0; i < from.size() && i < onto.size(); ++i) {
           if (const std::string* hash = from[i]->attr("idHash"))
             onto[i]->set_attr("idHash", *hash);
         }
       },
       {}},
      {"copy suffix written in lower case",
       [](const Element&, Element& target, const StressOperation& op, EngineResult& result) {
         if (!result || !is_copy(op, "screen")) return;
         for (std::string& message : result->messages) replace_all(message, " (Copy", " (copy");
         each_element(*last_element(screens(target)), [](Element& e) {
           for (auto& [name, value] : e.attributes.entries())
             replace_all(value, " (Copy", " (copy");
         });
       },
       {}},
      {"renamed screen keeps its old Params name",
       [](const Element& source, Element& target, const StressOperation& op, EngineResult& result) {
         if (!result || !is_copy(op, "screen") || result->messages.empty()) return;
         const auto& copy = std::get<StressOperation::Copy>(op.value);
         const Element* original = kivo::merge::find_screen(source.children, copy.source_unique_id);
         if (const std::string* name = original->attr("name")) {
           set_param(*last_element(screens(target)), "Params", "Name", *name);
         }
       },
       {}},
      {"copied slice switched off",
       [](const Element&, Element& target, const StressOperation& op, EngineResult& result) {
         if (!result || !is_copy(op, "slice")) return;
         set_param(*last_element(*receiving_layers(target, op)), "Common", "Enabled", "0");
       },
       {}},
      {"pasted mask keeps the source's coordinates",
       [](const Element& source, Element& target, const StressOperation& op, EngineResult& result) {
         const auto* paste = std::get_if<StressOperation::InputMask>(&op.value);
         if (!paste || !result) return;
         const Element* from =
             mask_of(find_slice(const_cast<Element&>(source), paste->source_slice_unique_id));
         Element* onto = mask_of(find_slice(target, paste->target_slice_unique_id));
         if (!from || !onto) return;
         const auto from_all = elements_of(*const_cast<Element*>(from)),
                    onto_all = elements_of(*onto);
         for (std::size_t i = 0; i < from_all.size() && i < onto_all.size(); ++i) {
           for (const char* axis : {"x", "y"}) {
             if (const std::string* value = from_all[i]->attr(axis))
               onto_all[i]->set_attr(axis, *value);
           }
         }
       },
       {}},
      {"overwriting paste leaves the new mask twice",
       [](const Element&, Element& target, const StressOperation& op, EngineResult& result) {
         const auto* paste = std::get_if<StressOperation::InputMask>(&op.value);
         if (!paste || !result || result->messages.empty()) return;
         Element* slice = find_slice(target, paste->target_slice_unique_id);
         if (Element* mask = mask_of(slice)) slice->children.push_back(XMLNode{Element(*mask)});
       },
       {}},
      {"rename notes dropped",
       [](const Element&, Element&, const StressOperation&, EngineResult& result) {
         if (result) result->messages.clear();
       },
       {}},
      {"original renamed instead of the copy",
       [](const Element& source, Element& target, const StressOperation& op, EngineResult& result) {
         if (!result || !is_copy(op, "screen") || result->messages.empty()) return;
         const auto& copy = std::get<StressOperation::Copy>(op.value);
         const std::string base =
             *kivo::merge::find_screen(source.children, copy.source_unique_id)->attr("name");
         Element* added = last_element(screens(target));
         const std::string renamed = *added->attr("name");
         for (XMLNode& n : screens(target).children) {
           Element* screen = n.as_element();
           if (!screen || screen == added || !screen->attr("name") || *screen->attr("name") != base)
             continue;
           screen->set_attr("name", renamed);
           added->set_attr("name", base);
           return;
         }
       },
       {}},
      {"unknown collision policy treated as the default",
       [](const Element& source, Element& target, const StressOperation& op, EngineResult& result) {
         const auto* copy = std::get_if<StressOperation::Copy>(&op.value);
         if (result || !copy || !copy->collision_policy) return;
         StressOperation lenient = op;
         std::get<StressOperation::Copy>(lenient.value).collision_policy.reset();
         result = real_engine(source, target, lenient);
       },
       {}},
      {"copied comments lost",
       [](const Element&, Element& target, const StressOperation& op, EngineResult& result) {
         if (!result || !is_copy(op, "screen")) return;
         each_element(*last_element(screens(target)), [](Element& e) {
           std::erase_if(e.children, [](const XMLNode& n) { return !n.as_element(); });
         });
       },
       {}},
      {"writer leaves carriage returns unescaped",
       {},
       [](std::string& text) { replace_all(text, "&#xD;", "\r"); }},
      {"writer indents with tabs",
       {},
       [](std::string& text) { replace_all(text, "\n  ", "\n\t"); }},
  };
}

kivo::stress::StressConfig strict_fast(const std::filesystem::path& out_dir) {
  auto config = kivo::stress::default_for_profile(kivo::stress::StressProfile::Fast);
  config.template_path = kivo::test::kBundledTemplate;
  config.out_dir = out_dir;
  config.strict = true;
  return config;
}

void plant(const PlantedFault& fault) {
  if (fault.corrupt) {
    hooks::set_engine_override([corrupt = fault.corrupt](const Element& source, Element& target,
                                                         const StressOperation& op) {
      EngineResult result = real_engine(source, target, op);
      corrupt(source, target, op, result);
      return result;
    });
  }
  if (fault.rewrite_text) {
    hooks::set_writer_override([rewrite = fault.rewrite_text](const Element& root)
                                   -> std::expected<std::string, kivo::WriteError> {
      auto text = kivo::xml_utils::write_xml_string(root);
      if (!text) return text;
      rewrite(*text);
      return text;
    });
  }
}

void remove_faults() {
  hooks::set_engine_override({});
  hooks::set_writer_override({});
}

TEST(PlantedFaults, StrictFastRunCatchesEachWithAReplayableCase) {
  auto faults = planted_faults();
  std::ranges::move(held_back_faults(), std::back_inserter(faults));
  for (const PlantedFault& fault : faults) {
    SCOPED_TRACE(fault.name);
    kivo::test::TempDir out;
    plant(fault);
    auto summary = kivo::stress::runner::run(strict_fast(out.path()));
    ASSERT_FALSE(summary);
    const std::string error = summary.error().display_chain();
    EXPECT_NE(error.find("\ninvariant:"), std::string::npos) << error;
    auto replayed = kivo::stress::replay::replay_case(kivo::test::case_dir_of(error) / "case.json");
    remove_faults();
    ASSERT_TRUE(replayed) << replayed.error().display_chain();
    EXPECT_TRUE(replayed->reproduced);
  }
}

TEST(PlantedFaults, UnmodifiedEnginePassesStrictFastRun) {
  kivo::test::TempDir out;
  auto summary = kivo::stress::runner::run(strict_fast(out.path()));
  ASSERT_TRUE(summary) << summary.error().display_chain();
  EXPECT_EQ(summary->attempted, 600u);
}

}  // namespace

namespace {

// Whether a fast run with `fault` planted fails, with and without the strict oracle. Slow (every
// fault the default run misses costs a whole run), so it runs on request:
// kivo_tests --gtest_also_run_disabled_tests --gtest_filter='*FaultCensus*'
TEST(PlantedFaults, DISABLED_FaultCensus) {
  for (const auto& [set, faults] :
       {std::pair{"planted", planted_faults()}, std::pair{"held back", held_back_faults()}}) {
    int default_catches = 0, strict_catches = 0;
    for (const PlantedFault& fault : faults) {
      kivo::test::TempDir out;
      auto config = strict_fast(out.path());
      plant(fault);
      const bool strict_caught = !kivo::stress::runner::run(config);
      config.strict = false;
      const bool default_caught = !kivo::stress::runner::run(config);
      remove_faults();
      strict_catches += strict_caught;
      default_catches += default_caught;
      std::printf("%-10s default=%d strict=%d  %s\n", set, default_caught, strict_caught,
                  fault.name);
    }
    std::printf("%s: %zu faults, default run caught %d, strict run caught %d\n", set, faults.size(),
                default_catches, strict_catches);
  }
}

}  // namespace
