#include <cstdio>

#include "kivo/stress/campaign/merge.hpp"
#include "kivo/stress/text_utf8.hpp"

namespace kivo::stress::campaign {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the UTF-8 sequence led by `lead` (the text is already well-formed).
std::size_t sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

// Characters XML 1.0 cannot hold at all, escaped or not.
bool forbidden_in_xml(std::string_view sequence) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(sequence[i]); };
  if (sequence.size() == 1)
    return byte(0) < 0x20 && byte(0) != '\t' && byte(0) != '\n' && byte(0) != '\r';
  // U+FFFE and U+FFFF.
  return sequence.size() == 3 && byte(0) == 0xEF && byte(1) == 0xBF && byte(2) >= 0xBE;
}

// `text` escaped for XML character data, or for a double-quoted attribute value (where line
// breaks and tabs are written as references, so that they survive the reader's normalisation).
// Messages carry names from presets, which may hold anything.
std::string escaped(std::string_view raw, bool attribute) {
  const std::string text = utf8_lossy(raw);
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length =
        std::min(sequence_length(static_cast<unsigned char>(text[at])), text.size() - at);
    const std::string_view sequence(text.data() + at, length);
    at += length;
    if (forbidden_in_xml(sequence)) {
      out += kReplacement;
      continue;
    }
    switch (sequence.front()) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      case '\n':
        out += attribute ? "&#10;" : "\n";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '\t':
        out += attribute ? "&#9;" : "\t";
        break;
      default:
        out += sequence;
    }
  }
  return out;
}

std::string attribute(std::string_view name, std::string_view value) {
  std::string text(1, ' ');
  text.append(name).append("=\"").append(escaped(value, true)).append(1, '"');
  return text;
}

std::string seconds(std::chrono::duration<double> elapsed) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", elapsed.count());
  return text;
}

std::string test_case(const SeedRecord& seed, const std::string& classname) {
  std::string xml = "    <testcase" + attribute("name", "seed " + std::to_string(seed.seed)) +
                    attribute("classname", classname) + attribute("time", seconds(seed.elapsed));
  if (!seed.failed) return xml + "/>\n";
  std::string details = seed.output;
  if (seed.case_dir) details += "Case directory: " + seed.case_dir->string() + "\n";
  return xml + ">\n      <failure" + attribute("message", seed.message) +
         attribute("type", "stress failure") + ">" + escaped(details, false) +
         "</failure>\n    </testcase>\n";
}

}  // namespace

std::string junit_xml(const MergedCampaign& merged) {
  const CampaignRecord& campaign = merged.campaign;
  const std::string classname =
      "kivo_stress." + campaign.profile + (campaign.strict ? ".strict" : "");
  std::chrono::duration<double> total{0};
  std::string cases;
  for (const SeedRecord& seed : merged.seeds) {
    total += seed.elapsed;
    cases += test_case(seed, classname);
  }
  const std::string counts = attribute("tests", std::to_string(merged.seeds.size())) +
                             attribute("failures", std::to_string(merged.result.failed)) +
                             attribute("errors", "0");
  const std::string name = "kivo_stress seeds=" + std::to_string(campaign.seeds.first) + ".." +
                           std::to_string(campaign.seeds.second) + " profile=" + campaign.profile +
                           (campaign.strict ? " strict" : "");
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" +
         attribute("name", "kivo_stress") + counts + attribute("time", seconds(total)) +
         ">\n  <testsuite" + attribute("name", name) + counts + attribute("skipped", "0") +
         attribute("time", seconds(total)) + ">\n" + cases + "  </testsuite>\n</testsuites>\n";
}

}  // namespace kivo::stress::campaign
