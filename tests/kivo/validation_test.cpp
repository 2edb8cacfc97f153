#include "kivo/validation.hpp"

#include <gtest/gtest.h>

#include "kivo/xml_utils.hpp"
#include "support/presets.hpp"

namespace {

using Messages = std::vector<std::string>;

TEST(ValidateDoc, MessagesInWalkOrder) {
  const std::pair<std::string, Messages> cases[] = {
      {"<XmlState><ScreenSetup><screens><Screen uniqueId=\"1\" name=\"S\"><layers><Slice "
       "uniqueId=\"2\" idHash=\"1\"/></layers><OutputDevice><OutputDeviceVirtual deviceId=\"d\"/>"
       "</OutputDevice></Screen></screens></ScreenSetup></XmlState>",
       {}},
      {"<Preset uniqueId=\"1\"><ScreenSetup><screens><Screen uniqueId=\"1\" name=\"S\"/>"
       "</screens></ScreenSetup></Preset>",
       {"Root node should be <XmlState>.", "Duplicate uniqueId detected: 1"}},
      // A missing ScreenSetup or screens stops the checks.
      {"<XmlState uniqueId=\"1\"><x uniqueId=\"1\"/><screens/></XmlState>",
       {"Missing <ScreenSetup> node."}},
      {"<Other><Screen/></Other>",
       {"Root node should be <XmlState>.", "Missing <ScreenSetup> node."}},
      {"<XmlState><ScreenSetup><Screens/><x uniqueId=\"1\"/><y uniqueId=\"1\"/></ScreenSetup>"
       "</XmlState>",
       {"Missing <screens> node under <ScreenSetup>."}},
      {"<XmlState><ScreenSetup><screens>text<!--c--></screens><a idHash=\"h\"/><b idHash=\"h\"/>"
       "</ScreenSetup></XmlState>",
       {"No screen nodes found in <screens>.", "Duplicate idHash detected: h"}},
      {"<XmlState><ScreenSetup><screens/></ScreenSetup><ScreenSetup><screens><Screen "
       "uniqueId=\"1\" name=\"n\"/></screens></ScreenSetup></XmlState>",
       {"No screen nodes found in <screens>."}},
      {"<XmlState><ScreenSetup><screens><Screen uniqueId=\" \t\xC2\xA0\xE3\x80\x80\" name=\"S\" "
       "idHash=\"\"/><Slice uniqueId=\"7\"/><Mask uniqueId=\"7\"><Slice uniqueId=\"7\"/></Mask>"
       "<Slice uniqueId=\" 7\" idHash=\"7\"/></screens></ScreenSetup></XmlState>",
       {"Empty uniqueId on <Screen>.", "Empty idHash on <Screen>.",
        "Duplicate uniqueId detected: 7", "Duplicate uniqueId detected: 7"}},
      {"<XmlState><ScreenSetup><screens><DmxScreen/><Screen uniqueId=\"1\"/><Screen name=\"n\"/>"
       "<OutputDevice><OutputDeviceVirtual/><OutputDeviceDmx deviceId=\"\"/><OutputDeviceDmx/>"
       "</OutputDevice><screen/></screens></ScreenSetup></XmlState>",
       {"DmxScreen missing uniqueId attribute.", "DmxScreen missing name attribute.",
        "Screen missing name attribute.", "Screen missing uniqueId attribute.",
        "OutputDeviceVirtual missing deviceId attribute.",
        "OutputDeviceDmx missing deviceId attribute."}},
  };
  for (const auto& [text, messages] : cases) {
    EXPECT_EQ(kivo::validation::validate_doc(kivo::test::parse_doc(text)), messages) << text;
  }
}

TEST(Walk, ChecksTheRootAndCarriesItsSetsAcrossCalls) {
  kivo::xml_utils::WalkContext context;
  kivo::xml_utils::walk(kivo::test::parse_doc("<Screen uniqueId=\"a\" name=\"x\" idHash=\"b\"/>"),
                        context);
  kivo::xml_utils::walk(kivo::test::parse_doc("<Slice uniqueId=\"a\" idHash=\"a\"/>"), context);
  EXPECT_EQ(context.messages, Messages{"Duplicate uniqueId detected: a"});
  EXPECT_EQ(context.unique_ids, (std::unordered_set<std::string>{"a"}));
  EXPECT_EQ(context.id_hashes, (std::unordered_set<std::string>{"a", "b"}));
}

}  // namespace
