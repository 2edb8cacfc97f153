#include "kivo/number_text.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace kivo {
namespace {

bool equals_ignore_case(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) return false;
  }
  return true;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::size_t skip_digits(std::string_view text, std::size_t at) {
  while (at < text.size() && is_digit(text[at])) ++at;
  return at;
}

// Digits, optional fraction, optional exponent, at least one mantissa digit, nothing else.
bool is_decimal_literal(std::string_view text) {
  std::size_t at = skip_digits(text, 0);
  std::size_t mantissa_digits = at;
  if (at < text.size() && text[at] == '.') {
    std::size_t after = skip_digits(text, at + 1);
    mantissa_digits += after - at - 1;
    at = after;
  }
  if (mantissa_digits == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    std::size_t after = skip_digits(text, at);
    if (after == at) return false;
    at = after;
  }
  return at == text.size();
}

}  // namespace

std::optional<double> parse_f64(std::string_view text) {
  bool negative = false;
  std::string_view body = text;
  if (!body.empty() && (body[0] == '+' || body[0] == '-')) {
    negative = body[0] == '-';
    body.remove_prefix(1);
  }
  double sign = negative ? -1.0 : 1.0;
  if (equals_ignore_case(body, "inf") || equals_ignore_case(body, "infinity")) {
    return sign * std::numeric_limits<double>::infinity();
  }
  if (equals_ignore_case(body, "nan")) {
    return std::copysign(std::numeric_limits<double>::quiet_NaN(), sign);
  }
  if (!is_decimal_literal(body)) return std::nullopt;
  double value = 0;
  auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Overflow reads as infinity and underflow as zero, like any correctly rounding reader.
    value = std::strtod(std::string(body).c_str(), nullptr);
  } else if (error != std::errc() || end != body.data() + body.size()) {
    return std::nullopt;
  }
  return sign * value;
}

std::optional<std::uint64_t> parse_u64(std::string_view text) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace kivo
