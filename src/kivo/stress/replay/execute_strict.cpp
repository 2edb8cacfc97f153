// The strict checked execution: the engine's result is held against the oracle's expectation.
#include "kivo/stress/checks.hpp"
#include "kivo/stress/guard.hpp"
#include "kivo/stress/independent.hpp"
#include "kivo/stress/oracle.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/replay/fresh_duplicates.hpp"
#include "kivo/stress/replay/strict_checks.hpp"

namespace kivo::stress::replay {
namespace {

using oracle::shown;

std::string strict_failure(const std::string& what) { return "invariant:strict: " + what; }

std::string listed(const std::vector<std::string>& texts) {
  std::string out = "[";
  for (const std::string& text : texts) out += (out.size() > 1 ? ", " : "") + shown(text);
  return out + "]";
}

std::optional<std::string> map_difference(const char* name, const oracle::IdMap& expected,
                                          const std::unordered_map<std::string, std::string>& got) {
  if (expected.size() != got.size()) {
    return std::string("the result's ") + name + " map has " + std::to_string(got.size()) +
           " entries, expected " + std::to_string(expected.size());
  }
  for (const auto& [old_value, new_value] : expected) {
    auto found = got.find(old_value);
    if (found == got.end() || found->second != new_value) {
      return std::string("the result's ") + name + " map sends " + shown(old_value) + " to " +
             (found == got.end() ? std::string("nothing") : shown(found->second)) + ", expected " +
             shown(new_value);
    }
  }
  return std::nullopt;
}

std::optional<std::string> wrong_result(const oracle::Expectation& expected,
                                        const model::CopyResult& result) {
  if (!result.completed) return "the result is not marked completed";
  if (result.messages != expected.messages) {
    return "the result's notes are " + listed(result.messages) + ", expected " +
           listed(expected.messages);
  }
  if (auto wrong = map_difference("uniqueId", expected.unique_id_map, result.remap.unique_id_map)) {
    return wrong;
  }
  return map_difference("idHash", expected.id_hash_map, result.remap.id_hash_map);
}

oracle::NodePath place_of(const oracle::Expectation& expected) {
  oracle::NodePath place = expected.parent;
  place.push_back(expected.position);
  return place;
}

std::optional<std::string> wrong_copy(const oracle::Expectation& expected,
                                      const oracle::NodePath& place, const Element& target,
                                      std::uint64_t rest_before) {
  const Element* parent = oracle::element_at(target, expected.parent);
  const std::string where = oracle::path_text(target, place);
  if (!parent) return "the receiving parent of the copy is gone";
  const Element* copy = expected.position < parent->children.size()
                            ? parent->children[expected.position].as_element()
                            : nullptr;
  if (!copy) return "no copy at " + where;
  if (auto difference = oracle::first_difference(expected.subtree, *copy, where)) {
    return "the copy differs from the expected one at " + *difference;
  }
  if (oracle::fingerprint(target, &place) != rest_before) {
    return "the target changed outside the copy at " + where;
  }
  return std::nullopt;
}

std::string judge_refusal(const oracle::Expectation& expected, const std::string& observed,
                          const Element& target, std::uint64_t target_before) {
  if (!expected.refusal) return strict_failure("expected success, observed " + shown(observed));
  if (observed != *expected.refusal) {
    return strict_failure("expected " + shown(*expected.refusal) + ", observed " + shown(observed));
  }
  if (oracle::fingerprint(target) != target_before) {
    return strict_failure("the refused operation changed the target");
  }
  return observed;
}

// The source's fingerprint `carried` holds (leaving none), or that of a walk of `source`.
std::uint64_t take_or_walk_source(Carried* carried, const Element& source) {
  if (carried == nullptr || !carried->source_fingerprint) return oracle::fingerprint(source);
  const std::uint64_t taken = *carried->source_fingerprint;
  carried->source_fingerprint.reset();
  return taken;
}

}  // namespace

std::string execute_strict(const Element& source, Element& target, const StressOperation& operation,
                           Carried* carried) {
  const std::uint64_t source_before = take_or_walk_source(carried, source);
  const oracle::Expectation expected = oracle::expect(source, target, operation);
  const oracle::NodePath place = place_of(expected);
  const std::uint64_t target_before =
      oracle::fingerprint(target, expected.refusal ? nullptr : &place);
  const checks::IdentityDuplicates duplicates = detail::take_or_walk(carried, target);
  auto engine = guard::call_engine(source, target, operation);
  if (engine.faulted) return *engine.failure;
  if (oracle::fingerprint(source) != source_before) {
    return strict_failure("the operation changed its source document");
  }
  if (carried != nullptr) carried->source_fingerprint = source_before;
  if (engine.failure) return judge_refusal(expected, *engine.failure, target, target_before);
  if (expected.refusal) {
    return strict_failure("expected " + shown(*expected.refusal) + ", but the copy succeeded");
  }
  if (!detail::holds_an_identifier_twice(expected.subtree)) {
    checks::IdentityDuplicates after = checks::duplicate_identities(target);
    auto duplicate = detail::fresh_duplicate(duplicates, after);
    if (carried != nullptr) carried->target_duplicates = std::move(after);
    if (duplicate) return "invariant:" + *duplicate;
  }
  // Validation may keep state between calls; one call on a fixed preset first makes what the
  // target's validation sees the same in the run and in its replay.
  static const Element kFixed = oracle::read_back(Element::make("XmlState"));
  (void)checks::library_validation(kFixed);
  auto roundtrip = checks::roundtrip(target);
  if (!roundtrip) return "invariant:" + roundtrip.error().message();
  if (auto read = independent::reading_difference(roundtrip->text, roundtrip->reread)) {
    return strict_failure(*read);
  }
  if (auto wrong = wrong_result(expected, *engine.result)) return strict_failure(*wrong);
  if (auto wrong = wrong_copy(expected, place, target, target_before))
    return strict_failure(*wrong);
  if (auto wrong = oracle::reread_difference(target, roundtrip->reread)) {
    return strict_failure("the re-read tree differs from memory at " + *wrong);
  }
  if (auto wrong = oracle::text_form_difference(target, roundtrip->text)) {
    return strict_failure(*wrong);
  }
  if (auto wrong = detail::validation_difference(*roundtrip, operation)) {
    return strict_failure(*wrong);
  }
  return "success";
}

}  // namespace kivo::stress::replay
