#pragma once

#include <array>
#include <expected>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/stress/error.hpp"
#include "kivo/stress/operation.hpp"
#include "kivo/xml_errors.hpp"

namespace kivo::stress::checks {

/// Values of attribute `name` that occur on two or more elements.
std::unordered_set<std::string> duplicate_attr_values(const Element& root, std::string_view name);
/// The attributes that identify a node, in the order the duplicate checks report them.
inline constexpr std::string_view kIdentityAttributes[2] = {"uniqueId", "idHash"};
/// Values of each identity attribute (in that order) held more than once.
using IdentityDuplicates = std::array<std::unordered_set<std::string>, 2>;
/// The identity duplicates of `root`, in one walk.
IdentityDuplicates duplicate_identities(const Element& root);
/// Fails when `after` has duplicates of `name` that `before` did not have.
Result<void> ensure_no_fresh_duplicate_attrs(const Element& before, const Element& after,
                                             std::string_view name);
/// Fails when `after_duplicates` holds values of `name` other than `before_duplicates`.
Result<void> ensure_no_fresh_duplicates(const std::unordered_set<std::string>& before_duplicates,
                                        const std::unordered_set<std::string>& after_duplicates,
                                        std::string_view name);
/// Fails when `after` has duplicates of `name` other than `before_duplicates`.
Result<void> ensure_no_fresh_duplicates(const std::unordered_set<std::string>& before_duplicates,
                                        const Element& after, std::string_view name);
/// Fails unless XmlState/ScreenSetup/screens holds at least one element.
Result<void> ensure_required_structure(const Element& root);
/// The written text of a preset, its re-read tree and the validation messages of that tree.
struct RoundTrip {
  std::string text;
  Element reread;
  std::vector<std::string> messages;
};
/// The library writer's text of `root` (a test may plant a fault in the writer).
std::expected<std::string, WriteError> library_text(const Element& root);
/// The library reader's tree of `text` (a test may plant a fault in the reader).
std::expected<Element, ParseError> library_reading(std::string_view text);
/// The library validation's messages on `root` (a test may plant a fault in it).
std::vector<std::string> library_validation(const Element& root);
/// Writes, re-parses and checks the preset's required structure.
Result<RoundTrip> roundtrip(const Element& root);
/// Writes, re-parses and checks the preset; returns the validation messages.
Result<std::vector<std::string>> roundtrip_parse_and_validate(const Element& root);
/// SipHash-1-3 fingerprint of a trace as 16 lower-case hex digits.
std::string trace_hash(const std::vector<OperationTraceItem>& items);

}  // namespace kivo::stress::checks
