#include "kivo/stress/artifacts/float_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace kivo::stress::artifacts {
namespace {

/// Significant digits d1..dn and the decimal exponent of d1 of a finite, non-zero magnitude.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal shortest_decimal(double magnitude) {
  char buffer[64];
  auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
  std::string_view text(buffer, end - buffer);
  std::size_t e_pos = text.find('e');
  Decimal decimal;
  for (char c : text.substr(0, e_pos)) {
    if (c != '.') decimal.digits += c;
  }
  decimal.exponent = std::atoi(std::string(text.substr(e_pos + 1)).c_str());
  return decimal;
}

std::string exponent_form(const Decimal& d) {
  std::string text(1, d.digits[0]);
  if (d.digits.size() > 1) text.append(".").append(d.digits, 1);
  text.append(d.exponent < 0 ? "e-" : "e+");
  return text.append(std::to_string(std::abs(d.exponent)));
}

std::string positional_form(const Decimal& d) {
  const int n = static_cast<int>(d.digits.size());
  if (d.exponent < 0) return "0." + std::string(-d.exponent - 1, '0') + d.digits;
  if (n <= d.exponent + 1) return d.digits + std::string(d.exponent + 1 - n, '0') + ".0";
  return d.digits.substr(0, d.exponent + 1) + "." + d.digits.substr(d.exponent + 1);
}

bool is_number_start(char c) { return c == '-' || (c >= '0' && c <= '9'); }
bool is_number_char(char c) {
  return is_number_start(c) || c == '+' || c == '.' || c == 'e' || c == 'E';
}

}  // namespace

std::string json_float_text(double value) {
  if (!std::isfinite(value)) return "null";
  const std::string sign = std::signbit(value) ? "-" : "";
  if (value == 0) return sign + "0.0";
  Decimal decimal = shortest_decimal(std::fabs(value));
  if (decimal.exponent < -5 || decimal.exponent > 15) return sign + exponent_form(decimal);
  return sign + positional_form(decimal);
}

std::string rewrite_float_tokens(std::string_view json) {
  std::string out;
  out.reserve(json.size());
  bool in_string = false;
  for (std::size_t i = 0; i < json.size();) {
    const char c = json[i];
    if (in_string) {
      out += c;
      if (c == '\\' && i + 1 < json.size())
        out += json[++i];
      else if (c == '"')
        in_string = false;
      ++i;
      continue;
    }
    if (!is_number_start(c)) {
      in_string = c == '"';
      out += c;
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < json.size() && is_number_char(json[end])) ++end;
    std::string_view token = json.substr(i, end - i);
    double value = 0;
    const bool is_float = token.find_first_of(".eE") != std::string_view::npos;
    auto parsed = std::from_chars(token.data(), token.data() + token.size(), value);
    if (is_float && parsed.ec == std::errc() && parsed.ptr == token.data() + token.size()) {
      out += json_float_text(value);
    } else {
      out += token;
    }
    i = end;
  }
  return out;
}

}  // namespace kivo::stress::artifacts
