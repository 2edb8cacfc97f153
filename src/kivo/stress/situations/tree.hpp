#pragma once

// Lookups and small builders shared by the situation kinds.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/stress/oracle/detail.hpp"
#include "kivo/stress/rng.hpp"

namespace kivo::stress::situations::detail {

/// Every element of the subtree named `name`, in pre-order.
std::vector<Element*> all_named(Element& root, std::string_view name);
/// Every element of the subtree that carries attribute `attribute`, in pre-order.
std::vector<Element*> all_with(Element& root, std::string_view attribute);
/// The root's first ScreenSetup's first screens, or nullptr.
Element* screens_list(Element& root);
/// The element children of the screens list (screens of every kind).
std::vector<Element*> screens_of(Element& root);
/// The first child element named `name`, appended when there is none.
Element& child_or_new(Element& parent, std::string_view name);
/// The first child element named `name`, or nullptr.
Element* child(Element& parent, std::string_view name);
/// Removes every child element of `parent` named `name`.
void remove_children(Element& parent, std::string_view name);

/// One of `items`, or nullptr when there are none.
Element* pick(Rng& rng, const std::vector<Element*>& items);
/// One of `texts`.
template <class T, std::size_t N>
const T& pick(Rng& rng, const T (&texts)[N]) {
  return texts[rng.gen_range(0, N)];
}

/// A comment node (built out of line: GCC 12 inlining it warns of an uninitialised variant).
XMLNode comment(std::string text);
/// A "v" vertex element.
Element vertex(std::string x, std::string y);
/// The shortest text that reads back as `value`.
std::string number_text(double value);
/// The numeric reading of an identifier, as the oracle reads it.
using oracle::detail::numeric_reading;
/// A value of `attribute` no element of the document holds: one above the largest numeric one,
/// or a non-numeric text when that would pass the counter's end.
std::string fresh_value(Element& root, std::string_view attribute);
/// Gives every uniqueId and idHash of `subtree`, a part of `root`, a value the document does not
/// hold yet.
void refresh_identifiers(Element& subtree, Element& root);

}  // namespace kivo::stress::situations::detail
