#include "kivo/error.hpp"

namespace kivo {

std::string ParseError::message() const {
  if (kind == Kind::CannotParse) return "Cannot parse";
  return "Malformed XML. " + description;
}

std::optional<std::string> ParseError::cause() const {
  if (kind == Kind::CannotParse) return std::nullopt;
  return description;
}

AppError AppError::io(std::string os_message) { return AppError(Kind::Io, std::move(os_message)); }

AppError AppError::xml_parse(ParseError error) {
  return AppError(Kind::XmlParse, std::move(error));
}

AppError AppError::xml_write(WriteError error) {
  return AppError(Kind::XmlWrite, std::move(error));
}

AppError AppError::validation(std::string text) {
  return AppError(Kind::Validation, std::move(text));
}

const std::string& AppError::text() const {
  static const std::string empty;
  const auto* text = std::get_if<std::string>(&payload_);
  return text ? *text : empty;
}

std::string AppError::message() const {
  switch (kind_) {
    case Kind::Io:
      return "I/O error: " + text();
    case Kind::XmlParse:
      return "XML parse error: " + std::get<ParseError>(payload_).message();
    case Kind::XmlWrite:
      return "XML write error: " + std::get<WriteError>(payload_).description;
    case Kind::MissingDoc:
      return "Document not loaded for side";
    case Kind::MissingSourceNode:
      return "Source node not found";
    case Kind::MissingTargetScreen:
      return "Target screen not found";
    case Kind::UnsupportedCopy:
      return "Unsupported copy request";
    case Kind::Validation:
      return "Validation failed: " + text();
  }
  return {};
}

std::vector<std::string> AppError::causes() const {
  switch (kind_) {
    case Kind::Io:
      return {text()};
    case Kind::XmlParse: {
      const auto& parse = std::get<ParseError>(payload_);
      std::vector<std::string> chain{parse.message()};
      if (auto inner = parse.cause()) chain.push_back(*inner);
      return chain;
    }
    case Kind::XmlWrite:
      return {std::get<WriteError>(payload_).description};
    default:
      return {};
  }
}

}  // namespace kivo
