#pragma once

#include <string>
#include <variant>
#include <vector>

#include "kivo/xml_errors.hpp"

namespace kivo {

/// The library's one error type; its message texts are part of observable behaviour.
class AppError {
 public:
  enum class Kind {
    Io,
    XmlParse,
    XmlWrite,
    MissingDoc,
    MissingSourceNode,
    MissingTargetScreen,
    UnsupportedCopy,
    Validation,
  };

  /// An operating-system I/O failure described by `os_message`.
  static AppError io(std::string os_message);
  static AppError xml_parse(ParseError error);
  static AppError xml_write(WriteError error);
  static AppError missing_doc() { return AppError(Kind::MissingDoc, std::monostate{}); }
  static AppError missing_source_node() { return AppError(Kind::MissingSourceNode, {}); }
  static AppError missing_target_screen() { return AppError(Kind::MissingTargetScreen, {}); }
  static AppError unsupported_copy() { return AppError(Kind::UnsupportedCopy, {}); }
  static AppError validation(std::string text);

  Kind kind() const { return kind_; }
  /// The display text ("Source node not found", "Validation failed: ...", ...).
  std::string message() const;
  /// Messages of the underlying causes, nearest first; empty when there is none.
  std::vector<std::string> causes() const;
  /// The payload text of Io and Validation, empty for the other kinds.
  const std::string& text() const;

  friend bool operator==(const AppError&, const AppError&) = default;

 private:
  using Payload = std::variant<std::monostate, std::string, ParseError, WriteError>;
  AppError(Kind kind, Payload payload) : kind_(kind), payload_(std::move(payload)) {}

  Kind kind_;
  Payload payload_;
};

}  // namespace kivo
