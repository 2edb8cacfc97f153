#include <cstdio>

#include "kivo/stress/campaign/merge.hpp"
#include "kivo/stress/oracle.hpp"
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
  if (sequence.size() == 1) {
    return byte(0) < 0x20 && byte(0) != '\t' && byte(0) != '\n' && byte(0) != '\r';
  }
  // U+FFFE and U+FFFF.
  return sequence.size() == 3 && byte(0) == 0xEF && byte(1) == 0xBF && byte(2) >= 0xBE;
}

// `raw` as XML can hold it: messages carry names from presets, which may hold any bytes.
std::string xml_safe(std::string_view raw) {
  const std::string text = utf8_lossy(raw);
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length =
        std::min(sequence_length(static_cast<unsigned char>(text[at])), text.size() - at);
    const std::string_view sequence(text.data() + at, length);
    at += length;
    out += forbidden_in_xml(sequence) ? kReplacement : sequence;
  }
  return out;
}

std::string seconds(std::chrono::duration<double> elapsed) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", elapsed.count());
  return text;
}

Element test_case(const SeedRecord& seed, const std::string& classname) {
  Element test = Element::make("testcase");
  test.set_attr("name", "seed " + std::to_string(seed.seed));
  test.set_attr("classname", classname);
  test.set_attr("time", seconds(seed.elapsed));
  if (!seed.failed) return test;
  Element failure = Element::make("failure");
  failure.set_attr("message", xml_safe(seed.message));
  failure.set_attr("type", "stress failure");
  std::string details = seed.output;
  if (seed.case_dir) details += "Case directory: " + seed.case_dir->string() + "\n";
  failure.children.push_back({Text{xml_safe(details)}});
  test.children.push_back({std::move(failure)});
  return test;
}

void set_counts(Element& element, const MergedCampaign& merged, const std::string& time) {
  element.set_attr("tests", std::to_string(merged.seeds.size()));
  element.set_attr("failures", std::to_string(merged.result.failed));
  element.set_attr("errors", "0");
  element.set_attr("time", time);
}

}  // namespace

Result<std::string> junit_xml(const MergedCampaign& merged) {
  const CampaignRecord& campaign = merged.campaign;
  const std::string classname =
      "kivo_stress." + campaign.profile + (campaign.strict ? ".strict" : "");
  std::chrono::duration<double> total{0};
  Element suite = Element::make("testsuite");
  suite.set_attr("name", xml_safe("kivo_stress seeds=" + std::to_string(campaign.seeds.first) +
                                  ".." + std::to_string(campaign.seeds.second) + " profile=" +
                                  campaign.profile + (campaign.strict ? " strict" : "")));
  for (const SeedRecord& seed : merged.seeds) {
    total += seed.elapsed;
    suite.children.push_back({test_case(seed, xml_safe(classname))});
  }
  set_counts(suite, merged, seconds(total));
  suite.set_attr("skipped", "0");
  Element suites = Element::make("testsuites");
  suites.set_attr("name", "kivo_stress");
  set_counts(suites, merged, seconds(total));
  suites.children.push_back({std::move(suite)});
  // The harness's own writer: the report must not depend on the library under test.
  auto text = oracle::fixed_form(suites);
  if (!text) return std::unexpected(Error("Unable to write the JUnit report: " + text.error()));
  return *text + "\n";
}

}  // namespace kivo::stress::campaign
