#pragma once

#include <optional>
#include <string>

namespace kivo {

/// Why XML text could not be turned into a tree.
struct ParseError {
  enum class Kind { Malformed, CannotParse };
  Kind kind = Kind::Malformed;
  /// The parser's own description with its position (Malformed only).
  std::string description;

  /// "Malformed XML. " + description, or "Cannot parse".
  std::string message() const;
  /// The parser's error message when the input was malformed.
  std::optional<std::string> cause() const;
  friend bool operator==(const ParseError&, const ParseError&) = default;
};

/// Why a tree could not be written as XML text.
struct WriteError {
  std::string description;
  friend bool operator==(const WriteError&, const WriteError&) = default;
};

}  // namespace kivo
