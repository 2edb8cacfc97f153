// Hostile text from presets never reaches the page raw.
#include <gtest/gtest.h>

#include "kivo/stress/report.hpp"
#include "support/presets.hpp"

namespace {

using kivo::Element;
using kivo::stress::FailureArtifact;
using kivo::stress::StressCopy;
using kivo::stress::StressOperation;
using namespace kivo::test;
namespace report = kivo::stress::report;

TEST(ReportEscape, MarkupAndBadBytes) {
  const struct {
    std::string text;
    std::string escaped;
  } cases[] = {
      {"plain é", "plain é"},
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"a&b \"q\" 'r'", "a&amp;b &quot;q&quot; &#39;r&#39;"},
      {"]]>", "]]&gt;"},
      {"<!-- -->", "&lt;!-- --&gt;"},
      {std::string("nul\0x", 5), "nul\xEF\xBF\xBDx"},
      {"bad\xFF\xC0\x80 byte", "bad\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD byte"},
      {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"tab\tline\n", "tab\tline\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(report::escape_html(c.text), c.escaped);
}

const char* const kHostile[] = {"<script>alert(1)</script>", "]]>", "a\"b'c&d",
                                "</pre><img src=x onerror=alert(2)>", "<!--"};

// A page whose presets, failure message and case path all hold hostile text.
std::string hostile_page() {
  std::vector<Element> screens;
  for (int i = 0; i < 5; ++i) {
    const std::string id = std::to_string(10 + i);
    screens.push_back(screen(id, kHostile[i],
                             {slice("5" + id, kHostile[(i + 1) % 5],
                                    {vertices("InputRect", {{"0", "0"}, {"1", "0"}, {"1", "1"}})})}));
  }
  const Element source = preset(screens);
  const Element before = preset({screen("10", kHostile[3], {})});
  const Element after = preset({screen("10", kHostile[3], {slice("99", kHostile[0])})});
  FailureArtifact artifact;
  artifact.failure_message = std::string("invariant:") + kHostile[0] + kHostile[1];
  artifact.config.template_path = kHostile[3];
  const StressOperation op{StressCopy{"slice", "510", "10", "10", kHostile[2]}};
  artifact.operation_trace.push_back({0, op, {kivo::stress::ExpectedOutcome::ErrorContains{kHostile[1]}},
                                      std::string("error:") + kHostile[0]});
  std::vector<report::StepView> steps{{0, report::step_words(op, source, before),
                                       report::expected_words(artifact.operation_trace[0].expected),
                                       artifact.operation_trace[0].outcome, true}};
  const report::ReportInput input{artifact, std::string("/tmp/") + kHostile[0] + "/case.json",
                                  steps,    &op,
                                  source,   before,
                                  after,    &after,
                                  kHostile[4]};
  return report::report_page(input);
}

TEST(ReportEscape, HostileNamesNeverReachThePageRaw) {
  const std::string page = hostile_page();
  for (const char* hostile : kHostile) {
    SCOPED_TRACE(hostile);
    EXPECT_EQ(page.find(hostile), std::string::npos);
    EXPECT_NE(page.find(report::escape_html(hostile)), std::string::npos);
  }
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("<img"), std::string::npos);
  EXPECT_EQ(page.find("]]>"), std::string::npos);
  // The page is still whole: every drawing closed, the document ended.
  std::size_t opened = 0, closed = 0;
  for (auto at = page.find("<svg"); at != std::string::npos; at = page.find("<svg", at + 1)) {
    ++opened;
  }
  for (auto at = page.find("</svg>"); at != std::string::npos; at = page.find("</svg>", at + 1)) {
    ++closed;
  }
  EXPECT_GT(opened, 0u);
  EXPECT_EQ(opened, closed);
  EXPECT_TRUE(page.ends_with("</body></html>\n"));
}

}  // namespace
