#include "kivo/validation.hpp"

#include <gtest/gtest.h>

#include <string>

#include "kivo/xml_utils.hpp"

namespace {

using Messages = std::vector<std::string>;

Messages validated(std::string_view text) {
  auto root = kivo::xml_utils::parse(text);
  EXPECT_TRUE(root) << text;
  return root ? kivo::validation::validate_doc(*root) : Messages{"unparsed"};
}

constexpr const char* kValid =
    "<XmlState><ScreenSetup><screens>"
    "<Screen uniqueId=\"1\" name=\"S\"><layers><Slice uniqueId=\"2\" idHash=\"1\"/></layers>"
    "<OutputDevice><OutputDeviceVirtual deviceId=\"d\"/></OutputDevice></Screen>"
    "</screens></ScreenSetup></XmlState>";

TEST(ValidateDoc, AcceptsAWellFormedPreset) { EXPECT_EQ(validated(kValid), Messages{}); }

TEST(ValidateDoc, ReportsWrongRootFirstThenTheAttributeMessages) {
  EXPECT_EQ(
      validated("<Preset uniqueId=\"1\"><ScreenSetup><screens><Screen uniqueId=\"1\" name=\"S\"/>"
                "</screens></ScreenSetup></Preset>"),
      (Messages{"Root node should be <XmlState>.", "Duplicate uniqueId detected: 1"}));
}

TEST(ValidateDoc, StopsAtAMissingScreenSetupOrScreens) {
  EXPECT_EQ(validated("<XmlState uniqueId=\"1\"><x uniqueId=\"1\"/><screens/></XmlState>"),
            Messages{"Missing <ScreenSetup> node."});
  EXPECT_EQ(validated("<Other><Screen/></Other>"),
            (Messages{"Root node should be <XmlState>.", "Missing <ScreenSetup> node."}));
  EXPECT_EQ(validated("<XmlState><ScreenSetup><Screens/><x uniqueId=\"1\"/><y uniqueId=\"1\"/>"
                      "</ScreenSetup></XmlState>"),
            Messages{"Missing <screens> node under <ScreenSetup>."});
}

TEST(ValidateDoc, EmptyScreensStillRunsTheAttributeChecks) {
  EXPECT_EQ(validated("<XmlState><ScreenSetup><screens>text<!--c--></screens>"
                      "<a idHash=\"h\"/><b idHash=\"h\"/></ScreenSetup></XmlState>"),
            (Messages{"No screen nodes found in <screens>.", "Duplicate idHash detected: h"}));
}

TEST(ValidateDoc, UsesTheFirstScreenSetupAndScreens) {
  EXPECT_EQ(
      validated("<XmlState><ScreenSetup><screens/></ScreenSetup>"
                "<ScreenSetup><screens><Screen uniqueId=\"1\" name=\"n\"/></screens></ScreenSetup>"
                "</XmlState>"),
      Messages{"No screen nodes found in <screens>."});
}

TEST(Walk, ReportsEmptyAndDuplicateIdentifiersInWalkOrder) {
  EXPECT_EQ(validated("<XmlState><ScreenSetup><screens>"
                      "<Screen uniqueId=\" \t\xC2\xA0\xE3\x80\x80\" name=\"S\" idHash=\"\"/>"
                      "<Slice uniqueId=\"7\"/><Mask uniqueId=\"7\"><Slice uniqueId=\"7\"/></Mask>"
                      "<Slice uniqueId=\" 7\" idHash=\"7\"/>"
                      "</screens></ScreenSetup></XmlState>"),
            (Messages{"Empty uniqueId on <Screen>.", "Empty idHash on <Screen>.",
                      "Duplicate uniqueId detected: 7", "Duplicate uniqueId detected: 7"}));
}

TEST(Walk, ReportsMissingRequiredAttributesInOrder) {
  EXPECT_EQ(validated("<XmlState><ScreenSetup><screens>"
                      "<DmxScreen/><Screen uniqueId=\"1\"/><Screen name=\"n\"/>"
                      "<OutputDevice><OutputDeviceVirtual/><OutputDeviceDmx deviceId=\"\"/>"
                      "<OutputDeviceDmx/></OutputDevice><screen/>"
                      "</screens></ScreenSetup></XmlState>"),
            (Messages{"DmxScreen missing uniqueId attribute.", "DmxScreen missing name attribute.",
                      "Screen missing name attribute.", "Screen missing uniqueId attribute.",
                      "OutputDeviceVirtual missing deviceId attribute.",
                      "OutputDeviceDmx missing deviceId attribute."}));
}

TEST(Walk, ChecksTheRootAndCarriesItsSetsAcrossCalls) {
  kivo::xml_utils::WalkContext context;
  auto first = kivo::xml_utils::parse("<Screen uniqueId=\"a\" name=\"x\" idHash=\"b\"/>");
  auto second = kivo::xml_utils::parse("<Slice uniqueId=\"a\" idHash=\"a\"/>");
  ASSERT_TRUE(first && second);
  kivo::xml_utils::walk(*first, context);
  kivo::xml_utils::walk(*second, context);
  EXPECT_EQ(context.messages, Messages{"Duplicate uniqueId detected: a"});
  EXPECT_EQ(context.unique_ids, (std::unordered_set<std::string>{"a"}));
  EXPECT_EQ(context.id_hashes, (std::unordered_set<std::string>{"a", "b"}));
}

}  // namespace
