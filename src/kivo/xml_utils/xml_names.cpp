#include "kivo/xml_utils/xml_names.hpp"

#include <expat.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "kivo/xml_utils/xml_text.hpp"

namespace kivo::xml_utils::detail {
namespace {

struct Range {
  std::uint32_t first;
  std::uint32_t last;
};

// NameStartChar of XML 1.0 (fifth edition) without the colon.
constexpr Range kNameStart[] = {
    {'A', 'Z'},       {'_', '_'},       {'a', 'z'},       {0xC0, 0xD6},     {0xD8, 0xF6},
    {0xF8, 0x2FF},    {0x370, 0x37D},   {0x37F, 0x1FFF},  {0x200C, 0x200D}, {0x2070, 0x218F},
    {0x2C00, 0x2FEF}, {0x3001, 0xD7FF}, {0xF900, 0xFDCF}, {0xFDF0, 0xFFFD}, {0x10000, 0xEFFFF},
};
// What NameChar adds to NameStartChar.
constexpr Range kNameRest[] = {
    {'-', '.'}, {'0', '9'}, {0xB7, 0xB7}, {0x300, 0x36F}, {0x203F, 0x2040},
};

template <std::size_t N>
bool in_ranges(const Range (&ranges)[N], std::uint32_t cp) {
  return std::any_of(std::begin(ranges), std::end(ranges),
                     [cp](const Range& range) { return cp >= range.first && cp <= range.last; });
}

bool is_name_start(std::uint32_t cp) { return in_ranges(kNameStart, cp); }
bool is_name_char(std::uint32_t cp) { return is_name_start(cp) || in_ranges(kNameRest, cp); }

bool follows_name_ranges(std::string_view name) {
  std::size_t i = 0;
  while (i < name.size()) {
    std::uint32_t cp = 0;
    const std::size_t length = decode_utf8(name, i, cp);
    if (length == 0 || !(i == 0 ? is_name_start(cp) : is_name_char(cp))) return false;
    i += length;
  }
  return i > 0;
}

bool is_ascii(std::string_view name) {
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

struct ParserDeleter {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

// The parser knows names by older character tables that lack some fifth-edition name
// characters (U+2070, U+3001, U+10000, ...); what it would refuse must not be written.
bool parser_reads_name(std::string_view name) {
  constexpr std::size_t kLongestChecked = std::size_t{1} << 24;
  if (name.size() > kLongestChecked) return false;
  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate("UTF-8"));
  if (!parser) return false;
  std::string text;
  text.reserve(name.size() + 3);
  text.append("<").append(name).append("/>");
  return XML_Parse(parser.get(), text.data(), static_cast<int>(text.size()), XML_TRUE) ==
         XML_STATUS_OK;
}

// Names are nearly always ASCII: those are settled by two small tables that hold exactly what the
// ranges above say of ASCII.
bool is_ascii_ncname(std::string_view name) {
  static constexpr auto kTables = [] {
    std::array<std::uint8_t, 128> table{};  // bit 0: may start a name, bit 1: may continue one
    for (int c = 0; c < 128; ++c) {
      const bool start = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
      const bool rest = start || c == '-' || c == '.' || (c >= '0' && c <= '9');
      table[static_cast<std::size_t>(c)] =
          static_cast<std::uint8_t>((start ? 1 : 0) | (rest ? 2 : 0));
    }
    return table;
  }();
  if (name.empty() || !(kTables[static_cast<unsigned char>(name[0])] & 1)) return false;
  for (char c : name.substr(1)) {
    if (!(kTables[static_cast<unsigned char>(c)] & 2)) return false;
  }
  return true;
}

}  // namespace

bool is_ncname(std::string_view name) {
  if (is_ascii(name)) return is_ascii_ncname(name);
  return follows_name_ranges(name) && parser_reads_name(name);
}

}  // namespace kivo::xml_utils::detail
