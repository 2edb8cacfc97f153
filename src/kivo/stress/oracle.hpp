#pragma once

// The strict oracle: what a copy must produce, computed from the two documents with code of the
// harness's own, so that it never shares a fault with the engine it judges.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/stress/operation.hpp"
#include "kivo/stress/oracle/decisions.hpp"

namespace kivo::stress::oracle {

/// Child positions from the root down to a node.
using NodePath = std::vector<std::size_t>;
/// Old-to-new identifier values.
using IdMap = std::unordered_map<std::string, std::string>;

/// What one operation must do to its target.
struct Expectation {
  /// The exact outcome text of a refusal ("error:..."); absent when the copy must succeed.
  std::optional<std::string> refusal;
  /// The receiving parent and the child position the copy must take.
  NodePath parent;
  std::size_t position = 0;
  /// True when the copy takes the place of the node at `position` instead of being inserted.
  bool replaces = false;
  /// The subtree the copy must be.
  Element subtree;
  /// The result's notes, in order.
  std::vector<std::string> messages;
  IdMap unique_id_map;
  IdMap id_hash_map;
  /// What the engine must decide on the way.
  Decisions decisions;
};

/// The expectation of `operation` on the two documents as they stand before it.
Expectation expect(const Element& source, const Element& target, const StressOperation& operation);

/// While it lives, expectations on this thread read the identifiers in use in `target` once, not
/// at every call (a planner weighs many requests on the same documents); `target` must not change
/// meanwhile.
class TargetHeld {
 public:
  explicit TargetHeld(const Element& target);
  ~TargetHeld();
  TargetHeld(const TargetHeld&) = delete;
  TargetHeld& operator=(const TargetHeld&) = delete;

  struct State;  // what was read, kept where the oracle reads it

 private:
  std::unique_ptr<State> state_;
  State* previous_;
};

/// The unusual shapes `operation` meets in the parts of both documents it reads: names that
/// differ from looked-up ones only in letter case, prefixed names.
Decisions shape_decisions(const Element& source, const Element& target,
                          const StressOperation& operation);
/// A fingerprint of the whole tree (attribute order ignored), leaving out the node at `skip`.
std::uint64_t fingerprint(const Element& root, const NodePath* skip = nullptr);
/// The node at `path`, or nullptr.
const Element* element_at(const Element& root, const NodePath& path);
/// The first child element of `parent` named `name`, or nullptr.
const Element* first_child_named(const Element& parent, std::string_view name);
/// `path` as "/XmlState/ScreenSetup/screens/Screen#3" (child positions after '#').
std::string path_text(const Element& root, const NodePath& path);
/// The first difference between two trees, described with `where` as the place of `expected`.
std::optional<std::string> first_difference(const Element& expected, const Element& actual,
                                            const std::string& where);
/// How `reread` differs from what reading the text of `memory` must give, if at all.
std::optional<std::string> reread_difference(const Element& memory, const Element& reread);
/// The tree that reading the fixed text form of `memory` must give.
Element read_back(const Element& memory);
/// The fixed text form of a tree, or why it cannot be written.
std::expected<std::string, std::string> fixed_form(const Element& root);
/// How `written` differs from the fixed text form of `root`, if at all.
std::optional<std::string> text_form_difference(const Element& root, std::string_view written);
/// The messages validating `root` must report, in order.
std::vector<std::string> expected_validation(const Element& root);
/// Gives `root` one or two defects validation must report, chosen by `choice`.
void apply_validation_probe(Element& root, std::uint64_t choice);
/// How observed validation messages differ from the expected ones, if at all.
std::optional<std::string> validation_difference(const std::vector<std::string>& observed,
                                                 const std::vector<std::string>& expected);
/// `text` in single quotes for a one-line message: control characters escaped, long text cut.
std::string shown(std::string_view text);

}  // namespace kivo::stress::oracle
