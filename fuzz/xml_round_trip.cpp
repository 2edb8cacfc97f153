// parse -> write -> parse -> write: the first written text must be the writer's fixed point,
// under the fixed text form and under a writer setting chosen from the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "kivo/xml_utils.hpp"
#include "tree_content.hpp"

namespace {

using kivo::fuzz::demand;
using kivo::xml_utils::WriterConfig;

// Settings that keep the text readable; the bits come from a checksum of the input.
WriterConfig variant_config(std::string_view text) {
  unsigned bits = 0;
  for (char c : text) bits = bits * 31 + static_cast<unsigned char>(c);
  WriterConfig config;
  config.write_declaration = bits & 1;
  config.perform_indent = bits & 2;
  config.normalize_empty_elements = bits & 4;
  config.pad_self_closing = bits & 8;
  config.autopad_comments = bits & 16;
  config.cdata_to_characters = bits & 32;
  if (bits & 64) config.indent_string = "\t";
  return config;
}

std::string write_or_die(const kivo::Element& tree, const WriterConfig& config,
                         std::string_view what) {
  std::string text;
  auto written = kivo::xml_utils::write_with_config(tree, text, config);
  demand(written.has_value(), what, written ? "" : written.error().description);
  return text;
}

void check_round_trip(const kivo::Element& first, const WriterConfig& config) {
  std::string text1;
  if (!kivo::xml_utils::write_with_config(first, text1, config)) return;  // refusal is allowed
  auto second = kivo::xml_utils::parse(text1);
  demand(second.has_value(), "written text parses", text1);
  if (!config.cdata_to_characters) {
    demand(kivo::fuzz::same_content(first, *second, config.autopad_comments),
           "re-read tree keeps names, attributes and content", text1);
  }
  const std::string text2 = write_or_die(*second, config, "re-read tree writes");
  demand(text1 == text2, "second write gives the same bytes", text1 + "\n----\n" + text2);
  auto third = kivo::xml_utils::parse(text2);
  demand(third.has_value() && *third == *second, "fixed point reads back as the same tree");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto first = kivo::xml_utils::parse(text);
  if (!first) return 0;
  check_round_trip(*first, WriterConfig{});
  check_round_trip(*first, variant_config(text));
  return 0;
}
