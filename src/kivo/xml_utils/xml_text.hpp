#pragma once

// Character-level rules of XML 1.0 text used by the writer.

#include <cstdint>
#include <string>
#include <string_view>

namespace kivo::xml_utils::detail {

/// Decodes the UTF-8 character at byte `i` into `cp`; its length, or 0 when the bytes are invalid.
std::size_t decode_utf8(std::string_view text, std::size_t i, std::uint32_t& cp);
/// True when `text` is valid UTF-8 holding only characters XML 1.0 allows.
bool is_xml_text(std::string_view text);

/// Appends character data with "&amp;", "&lt;", "&gt;"; a carriage return as "&#xD;". False when
/// `text` is not XML text (the bytes are appended all the same).
bool append_escaped_text(std::string& out, std::string_view text);
/// Appends an attribute value with the text escapes plus quotes, tab and line breaks. False when
/// `value` is not XML text (the bytes are appended all the same).
bool append_escaped_attribute(std::string& out, std::string_view value);
/// Appends comment or instruction text with line ends normalised as a reader would.
void append_normalized_line_ends(std::string& out, std::string_view text);

}  // namespace kivo::xml_utils::detail
