#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "kivo/xml_utils.hpp"

namespace kivo::stress::testing {

/// The tree of `text`; a parse failure fails the test and gives an empty element.
inline Element parse_doc(std::string_view text) {
  auto parsed = xml_utils::parse(text);
  if (!parsed) {
    ADD_FAILURE() << "test document does not parse: " << text;
    return Element::make("");
  }
  return std::move(*parsed);
}

/// `element` in the fixed text form; a write failure fails the test.
inline std::string written(const Element& element) {
  auto text = xml_utils::write_xml_string(element);
  if (!text) {
    ADD_FAILURE() << "document does not write";
    return {};
  }
  return std::move(*text);
}

/// `text` re-written in the fixed form, for comparing with a mutated document.
inline std::string normalized(std::string_view text) { return written(parse_doc(text)); }

}  // namespace kivo::stress::testing
