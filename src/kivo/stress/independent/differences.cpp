// The independent reader's answers: whether it reads a text, and how that differs from the
// library's reading of the same text.
#include "kivo/stress/independent.hpp"
#include "kivo/stress/independent/comparison.hpp"

namespace kivo::stress::independent {
namespace {

// Reads without looking at what is read.
class Reading : public detail::Visitor {
 public:
  bool start(const detail::StartTag&) override { return true; }
  bool end() override { return true; }
  bool text(std::string_view) override { return true; }
  bool cdata(std::string_view) override { return true; }
  bool comment(std::string_view) override { return true; }
  bool instruction(std::string_view, std::string_view) override { return true; }
};

std::string refused_by_independent(const std::string& reason) {
  return "the library reads the text where the independent reader refuses it: " + reason;
}

std::string refused_by_library(const std::string& reason) {
  return "the library refuses the text" + (reason.empty() ? "" : " (" + reason + ")") +
         " where the independent reader reads it";
}

}  // namespace

std::optional<std::string> reading_difference(std::string_view text, const Element& library_tree) {
  detail::Comparison comparison(library_tree);
  auto read = detail::read(text, comparison);
  if (!read) return refused_by_independent(read.error());
  return comparison.difference();
}

std::optional<std::string> reading_difference(
    std::string_view text, const std::expected<Element, ParseError>& library_reading) {
  if (library_reading) return reading_difference(text, *library_reading);
  if (check_readable(text)) return refused_by_library(library_reading.error().message());
  return std::nullopt;
}

std::optional<std::string> refusal_difference(std::string_view text, bool library_accepted) {
  auto readable = check_readable(text);
  if (library_accepted && !readable) return refused_by_independent(readable.error());
  if (!library_accepted && readable) return refused_by_library("");
  return std::nullopt;
}

std::expected<void, std::string> check_readable(std::string_view text) {
  Reading reading;
  return detail::read(text, reading);
}

}  // namespace kivo::stress::independent
