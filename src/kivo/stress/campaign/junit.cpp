#include <cstdio>

#include "kivo/stress/campaign/merge.hpp"
#include "kivo/stress/oracle.hpp"
#include "kivo/stress/text_utf8.hpp"

namespace kivo::stress::campaign {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// `raw` as XML can hold it: messages carry names from presets, which may hold any bytes. Bytes that
// are not UTF-8 become U+FFFD, and so do the characters XML 1.0 cannot hold at all, escaped or not:
// control characters but tab, line feed and carriage return, and U+FFFE and U+FFFF.
std::string xml_safe(std::string_view raw) {
  const std::string text = utf8_lossy(raw);
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
      out += kReplacement;
    } else if (std::string_view(text).substr(at, 2) == "\xEF\xBF" && at + 2 < text.size() &&
               static_cast<unsigned char>(text[at + 2]) >= 0xBE) {
      // 0xEF only ever leads a sequence, so this is the whole character.
      out += kReplacement;
      at += 2;
    } else {
      out += text[at];
    }
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
  element.set_attr("failures", std::to_string(merged.campaign.totals.failed));
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
