#include "kivo/validation.hpp"

#include <gtest/gtest.h>

#include "support/presets.hpp"

namespace {

using Messages = std::vector<std::string>;

// The presets are under tests/data/validation.
TEST(ValidateDoc, MessagesInWalkOrder) {
  const std::pair<const char*, Messages> cases[] = {
      {"valid", {}},
      {"other_root_duplicate_id",
       {"Root node should be <XmlState>.", "Duplicate uniqueId detected: 1"}},
      // A missing ScreenSetup or screens stops the checks.
      {"no_screen_setup", {"Missing <ScreenSetup> node."}},
      {"other_root_no_screen_setup",
       {"Root node should be <XmlState>.", "Missing <ScreenSetup> node."}},
      {"no_screens", {"Missing <screens> node under <ScreenSetup>."}},
      {"empty_screens_duplicate_hash",
       {"No screen nodes found in <screens>.", "Duplicate idHash detected: h"}},
      {"first_screen_setup_only", {"No screen nodes found in <screens>."}},
      // The first uniqueId is blank in the Unicode sense (no-break and ideographic spaces).
      {"blank_and_repeated_ids",
       {"Empty uniqueId on <Screen>.", "Empty idHash on <Screen>.",
        "Duplicate uniqueId detected: 7", "Duplicate uniqueId detected: 7"}},
      {"missing_attributes",
       {"DmxScreen missing uniqueId attribute.", "DmxScreen missing name attribute.",
        "Screen missing name attribute.", "Screen missing uniqueId attribute.",
        "OutputDeviceVirtual missing deviceId attribute.",
        "OutputDeviceDmx missing deviceId attribute."}},
  };
  for (const auto& [name, messages] : cases) {
    const std::string path = KIVO_SOURCE_DIR "/tests/data/validation/" + std::string(name) + ".xml";
    EXPECT_EQ(
        kivo::validation::validate_doc(kivo::test::parse_doc(kivo::test::read_whole_file(path))),
        messages)
        << name;
  }
}

}  // namespace
