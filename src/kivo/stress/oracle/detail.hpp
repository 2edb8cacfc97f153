#pragma once

// The oracle's own lookups, names, identifiers and numbers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "kivo/stress/oracle.hpp"

namespace kivo::stress::oracle::detail {

/// An element with its path from the root; `element` is nullptr when nothing was found.
struct Located {
  const Element* element = nullptr;
  NodePath path;
};

/// True when `element` is named `name`; while a `LookupWitness` lives, a name that differs only in
/// letter case, or a match with a prefix, is marked as a decision.
bool named(const Element& element, std::string_view name);
/// Marks the lookalike and prefixed names lookups meet, for as long as it lives (one thread).
class LookupWitness {
 public:
  explicit LookupWitness(Decisions& decisions);
  ~LookupWitness();
  LookupWitness(const LookupWitness&) = delete;
  LookupWitness& operator=(const LookupWitness&) = delete;

 private:
  Decisions* previous_;
};

/// Position of the first child element of `parent` named `name`.
std::optional<std::size_t> first_child(const Element& parent, std::string_view name);
/// The first child element named `name` below the located element.
Located descend(const Located& from, std::string_view name);
/// The root's first ScreenSetup, then its first screens.
Located screens_list(const Element& root);
/// The first `Screen` child of the screens list whose uniqueId is `id`.
Located find_screen(const Element& root, std::string_view id);
/// The first `Slice` directly under the first `layers` of any screens-list child.
Located find_slice(const Element& root, std::string_view id);
/// True when `element` has a uniqueId equal to `id`.
bool has_id(const Element& element, std::string_view id);

/// Display name of a screen: "Params" Name, else the name attribute, else "Screen"; the rules it
/// took are marked in `decisions` when given.
std::string screen_name(const Element& screen, Decisions* decisions = nullptr);
/// Display name of a layer: "Common" Name, else its tag.
std::string layer_name(const Element& layer, Decisions* decisions = nullptr);
/// The first "Params" child whose name attribute is `group`.
Element* group(Element& element, std::string_view group);
/// Sets the value of the group's first Param named `name`, when there is one.
void set_param(Element& group, std::string_view name, const std::string& value);
/// `base`, else "base (Copy)", else "base (Copy N)" for N = 2, 3, ...
std::string free_name(const std::string& base, const std::unordered_set<std::string>& taken);

/// The numeric reading of an identifier: "+"? digits, at most 2^64 - 1, leading zeros allowed.
std::optional<std::uint64_t> numeric_reading(std::string_view text);
/// Renumbers the identifiers of `subtree` against the whole target; fills both maps and marks the
/// cases of the renumbering it met.
void renumber(Element& subtree, const Element& target, Expectation& expectation);

/// True when `name` is a name the fixed text form can write (an XML name without colon).
bool fixed_form_name(std::string_view name);
/// Space, tab, line feed or carriage return.
bool xml_space(char c);
/// `text` with CR LF and lone CR turned into LF, as a reader sees comments and instructions.
std::string unified_line_ends(std::string_view text);
/// A comment's content as written: line ends unified, one space added at an end without space.
std::string padded_comment(std::string_view text);

/// A decimal real (sign, digits, fraction, exponent, or inf/infinity/nan), whole text.
std::optional<double> read_real(std::string_view text);
/// Fixed six decimals without trailing zeros; "0" for zero; "inf", "-inf", "NaN".
std::string six_decimals(double value);
/// Fixed three decimals; "inf", "-inf", "NaN".
std::string three_decimals(double value);

}  // namespace kivo::stress::oracle::detail
