#pragma once

// A second reading of XML text, with code of the harness's own on top of pugixml, so that the
// strict checks do not have to trust the library's reader for what a text holds.

#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "kivo/element.hpp"
#include "kivo/xml_errors.hpp"

// Differences read: "the library reads <X> at <place> where the independent reader reads <Y>"
// for the first node that differs (X and Y: element <p:Name>, text '...', CDATA '...',
// comment '...', processing instruction 'target' 'data', attribute 'name'='value',
// namespace bindings ..., nothing), or a sentence on a text only one of the readers refuses.
namespace kivo::stress::independent {

/// How `library_tree`, the library's reading of `text`, differs from the independent one.
std::optional<std::string> reading_difference(std::string_view text, const Element& library_tree);

/// The same for the library's whole outcome: a refusal agrees only with a refusal.
std::optional<std::string> reading_difference(
    std::string_view text, const std::expected<Element, ParseError>& library_reading);

/// The disagreement when exactly one of the readers refuses `text` (trees not compared).
std::optional<std::string> refusal_difference(std::string_view text, bool library_accepted);

/// Whether the independent reader accepts `text`; else the reason with its position.
std::expected<void, std::string> check_readable(std::string_view text);

/// The tree the independent reader reads from `text`, built by the same rules as the library's
/// reader (local names, prefixes, namespaces on declaring elements, merged and whitespace-free
/// text, CDATA, comments, processing instructions), or the reason it refuses the text.
std::expected<Element, std::string> read_tree(std::string_view text);

}  // namespace kivo::stress::independent
