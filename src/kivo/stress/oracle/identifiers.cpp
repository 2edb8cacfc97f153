#include <limits>
#include <optional>
#include <unordered_set>
#include <vector>

#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle::detail {
namespace {

// Walks whole targets at every step, so the name is held ready and compared by address.
void gather(const Element& element, const Name& attribute, std::vector<std::string>& out) {
  if (const std::string* value = element.attributes.find(attribute)) out.push_back(*value);
  for (const XMLNode& node : element.children) {
    if (const Element* child = node.as_element()) gather(*child, attribute, out);
  }
}

struct Kind {
  Name attribute;
  std::uint64_t fallback;
  Decision fallback_used;
};

// What the values of one identifier attribute in a target tell the renumbering.
struct InUse {
  std::unordered_set<std::string> values;
  std::optional<std::uint64_t> largest;
  bool largest_written_plainly = false;
  bool largest_written_signed = false;
};

InUse in_use(const Element& target, const Name& attribute) {
  std::vector<std::string> listed;
  gather(target, attribute, listed);
  InUse used{{listed.begin(), listed.end()}, std::nullopt};
  for (const std::string& value : used.values) {
    auto number = numeric_reading(value);
    if (number && (!used.largest || *number > *used.largest)) used.largest = number;
  }
  if (used.largest) {
    const std::string plain = std::to_string(*used.largest);
    used.largest_written_plainly = used.values.contains(plain);
    used.largest_written_signed = used.values.contains("+" + plain);
  }
  return used;
}

}  // namespace
}  // namespace kivo::stress::oracle::detail

namespace kivo::stress::oracle {

struct TargetHeld::State {
  const Element* target;
  std::optional<detail::InUse> unique_ids;
  std::optional<detail::InUse> id_hashes;
};

}  // namespace kivo::stress::oracle

namespace kivo::stress::oracle::detail {
namespace {

// The target held on this thread, if any.
thread_local TargetHeld::State* held = nullptr;

const InUse& in_use_of(const Element& target, const Kind& kind, std::optional<InUse>& fresh) {
  if (held == nullptr || held->target != &target) {
    return fresh.emplace(in_use(target, kind.attribute));
  }
  std::optional<InUse>& kept = kind.attribute == "uniqueId" ? held->unique_ids : held->id_hashes;
  if (!kept) kept.emplace(in_use(target, kind.attribute));
  return *kept;
}

IdMap fresh_values(const Element& subtree, const Element& target, const Kind& kind,
                   Decisions& decisions) {
  std::optional<InUse> fresh;
  const InUse& used = in_use_of(target, kind, fresh);
  if (!used.largest) mark(decisions, kind.fallback_used);
  // The counter starts from a text written otherwise than plainly, when no plain text reads as
  // much.
  if (used.largest && !used.largest_written_plainly) {
    mark(decisions, used.largest_written_signed ? Decision::CounterFromSignedText
                                                : Decision::CounterFromPaddedText);
  }
  std::uint64_t counter = used.largest.value_or(kind.fallback);
  std::vector<std::string> old_values;
  gather(subtree, kind.attribute, old_values);
  // The values this copy takes are in use for its later ones too.
  std::unordered_set<std::string> taken;
  auto is_used = [&](const std::string& value) {
    return used.values.contains(value) || taken.contains(value);
  };
  IdMap mapping;
  for (const std::string& old_value : old_values) {
    std::string candidate;
    do {
      if (counter == std::numeric_limits<std::uint64_t>::max())
        mark(decisions, Decision::CounterWrapped);
      candidate = std::to_string(++counter);
      if (is_used(candidate)) mark(decisions, Decision::CandidateSkipped);
    } while (is_used(candidate));
    taken.insert(candidate);
    if (mapping.contains(old_value)) mark(decisions, Decision::RepeatedInSubtree);
    mapping[old_value] = candidate;
  }
  return mapping;
}

// The new value of one attribute: an identifier takes the map of its own kind, a reference the
// uniqueId map and then the idHash map. Each value is rewritten once at most.
const std::string* renamed(const std::string& attribute, const std::string& value,
                           const IdMap& unique_ids, const IdMap& id_hashes) {
  if (attribute != "idHash") {
    if (auto found = unique_ids.find(value); found != unique_ids.end()) return &found->second;
    if (attribute == "uniqueId") return nullptr;
  }
  auto found = id_hashes.find(value);
  return found == id_hashes.end() ? nullptr : &found->second;
}

void rewrite(Element& element, const IdMap& unique_ids, const IdMap& id_hashes,
             Decisions& decisions) {
  for (auto& [attribute, value] : element.attributes.entries()) {
    const std::string* now = renamed(attribute, value, unique_ids, id_hashes);
    if (!now) continue;
    if (attribute != "uniqueId" && attribute != "idHash")
      mark(decisions, Decision::ReferenceRewritten);
    value = *now;
  }
  for (XMLNode& node : element.children) {
    if (Element* child = node.as_element()) rewrite(*child, unique_ids, id_hashes, decisions);
  }
}

// True when a new value of one map is an old value of the other.
bool meets(const IdMap& news, const IdMap& olds) {
  for (const auto& [old_value, new_value] : news) {
    if (olds.contains(new_value)) return true;
  }
  return false;
}

}  // namespace

std::optional<std::uint64_t> numeric_reading(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

void renumber(Element& subtree, const Element& target, Expectation& expectation) {
  Decisions& decisions = expectation.decisions;
  expectation.unique_id_map =
      fresh_values(subtree, target, {"uniqueId", 1, Decision::UniqueIdFallback}, decisions);
  expectation.id_hash_map = fresh_values(
      subtree, target, {"idHash", 10000000000ULL, Decision::IdHashFallback}, decisions);
  const IdMap& unique_ids = expectation.unique_id_map;
  const IdMap& id_hashes = expectation.id_hash_map;
  if (unique_ids.empty() && id_hashes.empty()) mark(decisions, Decision::NoIdentifiersCopied);
  if (meets(unique_ids, id_hashes)) mark(decisions, Decision::NewUniqueIdIsOldIdHash);
  if (meets(id_hashes, unique_ids)) mark(decisions, Decision::NewIdHashIsOldUniqueId);
  rewrite(subtree, unique_ids, id_hashes, decisions);
}

}  // namespace kivo::stress::oracle::detail

namespace kivo::stress::oracle {

TargetHeld::TargetHeld(const Element& target)
    : state_(new State{&target, std::nullopt, std::nullopt}), previous_(detail::held) {
  detail::held = state_.get();
}

TargetHeld::~TargetHeld() { detail::held = previous_; }

}  // namespace kivo::stress::oracle
