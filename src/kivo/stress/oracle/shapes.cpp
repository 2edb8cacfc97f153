// Marks the unusual shapes a request's documents hold where it reads them: attributes whose names
// differ from looked-up ones only in letter case, and prefixed elements. (Lookups themselves mark
// the lookalike elements they pass over.)
#include <algorithm>
#include <array>
#include <cctype>

#include "kivo/stress/oracle/copies.hpp"
#include "kivo/stress/oracle/detail.hpp"
#include "kivo/stress/oracle/name_memo.hpp"

namespace kivo::stress::oracle::detail {
namespace {

constexpr std::array<std::string_view, 19> kLookedUp = {"ScreenSetup",
                                                        "screens",
                                                        "Screen",
                                                        "layers",
                                                        "Slice",
                                                        "Mask",
                                                        "SliceMask",
                                                        "InputRect",
                                                        "v",
                                                        "Params",
                                                        "Param",
                                                        "OutputDevice",
                                                        "OutputDeviceVirtual",
                                                        "uniqueId",
                                                        "idHash",
                                                        "name",
                                                        "value",
                                                        "x",
                                                        "y"};

bool lookalike(std::string_view name) {
  for (std::string_view known : kLookedUp) {
    if (name.size() != known.size() || name == known) continue;
    if (std::equal(name.begin(), name.end(), known.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      return true;
    }
  }
  return false;
}

// The element's own attributes and prefix, and the names of the children a lookup passes over;
// `deep` goes on into the children.
void scan(const Element& element, Decisions& decisions, bool deep) {
  if (element.prefix) mark(decisions, Decision::PrefixedName);
  for (const auto& [name, value] : element.attributes) {
    if (remembered<bool, lookalike>(name)) mark(decisions, Decision::LookalikeAttribute);
  }
  for (const XMLNode& node : element.children) {
    const Element* child = node.as_element();
    if (!child) continue;
    if (deep) scan(*child, decisions, true);
  }
}

// The children of a root, of its first ScreenSetup and its screens list: every request reads
// them.
void scan_path(const Element& root, Decisions& decisions) {
  scan(root, decisions, false);
  Located setup = descend(Located{&root, {}}, "ScreenSetup");
  if (setup.element) scan(*setup.element, decisions, false);
  Located screens = screens_list(root);
  if (screens.element) scan(*screens.element, decisions, false);
}

const Element* screen_with_id(const Element& root, std::string_view id) {
  const Located screens = screens_list(root);
  if (!screens.element) return nullptr;
  for (const XMLNode& node : screens.element->children) {
    const Element* screen = node.as_element();
    if (screen && has_id(*screen, id)) return screen;
  }
  return nullptr;
}

void scan_copy(const Element& source, const Element& target, const StressOperation::Copy& copy,
               Decisions& decisions) {
  const std::string& source_screen = copy.source_kind == "screen"
                                         ? copy.source_unique_id
                                         : copy.source_parent_unique_id.value_or("");
  if (const Element* screen = screen_with_id(source, source_screen)) {
    scan(*screen, decisions, copy.source_kind == "screen");
    if (auto layers = first_child(*screen, "layers"))
      scan(*screen->children[*layers].as_element(), decisions, true);
  }
  if (copy.target_screen_unique_id && copy.source_kind != "screen") {
    if (const Element* screen = screen_with_id(target, *copy.target_screen_unique_id)) {
      scan(*screen, decisions, false);
    }
  }
}

}  // namespace

void mark_shapes(const Element& source, const Element& target, const StressOperation& operation,
                 Decisions& decisions) {
  scan_path(source, decisions);
  scan_path(target, decisions);
  if (const auto* copy = std::get_if<StressOperation::Copy>(&operation.value)) {
    return scan_copy(source, target, *copy, decisions);
  }
  const auto& paste = std::get<StressOperation::InputMask>(operation.value);
  if (const Element* slice = find_slice(source, paste.source_slice_unique_id).element) {
    scan(*slice, decisions, true);
  }
  if (const Element* slice = find_slice(target, paste.target_slice_unique_id).element) {
    scan(*slice, decisions, true);
  }
}

}  // namespace kivo::stress::oracle::detail
