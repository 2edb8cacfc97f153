// Situations are built into any template a user gives, also one whose elements nest where the
// bundled one never does: no kind may touch an element another change has moved or dropped
// (the sanitizer build catches it), and every document stays one the fixed form can write.
#include <gtest/gtest.h>

#include "kivo/stress/oracle.hpp"
#include "kivo/stress/rng.hpp"
#include "kivo/stress/situations.hpp"
#include "support/presets.hpp"

namespace {

using kivo::Element;

// Slices, layers, groups and screens inside elements of their own kind.
const char* const kNested = R"(<XmlState><ScreenSetup><screens>
<Screen uniqueId="1" name="A" idHash="5"><Params name="Params"><Param name="Name" value="A"/>
<Params name="Params"><Param name="Name" value="inner"/></Params></Params>
<layers><Slice uniqueId="2"><InputRect><v x="0" y="0"/><v x="10" y="10"/>
<Slice uniqueId="3"><InputRect><v x="0" y="0"/><v x="5" y="5"/></InputRect>
<SliceMask uniqueId="4"><v x="1" y="1"/></SliceMask></Slice></InputRect>
<SliceMask uniqueId="6" idHash="7"><Rect><v x="2" y="2"/><Slice uniqueId="8"/></Rect></SliceMask>
</Slice><Mask uniqueId="9"><layers><Mask uniqueId="10"/></layers></Mask></layers>
<OutputDevice><OutputDevice><OutputDeviceVirtual name="A" deviceId="VirtualA"/></OutputDevice>
</OutputDevice></Screen><DmxScreen uniqueId="11" name="D"><layers><Slice uniqueId="12">
<InputRect><v x="0" y="0"/><v x="3" y="4"/></InputRect></Slice></layers></DmxScreen>
</screens></ScreenSetup></XmlState>)";

TEST(Situations, EveryKindOnNestedElementsLeavesAWritableDocument) {
  const Element nested = kivo::test::parse_doc(kNested);
  for (const auto& kind : kivo::stress::situations::kinds()) {
    for (std::uint64_t seed = 0; seed < 24; ++seed) {
      Element root = nested;
      auto rng = kivo::stress::StressRng::seed_from_u64(seed);
      kind.build(root, rng);
      kind.build(root, rng);
      EXPECT_TRUE(kivo::stress::oracle::fixed_form(root)) << kind.name << " seed " << seed;
    }
  }
  Element root = nested;
  auto rng = kivo::stress::StressRng::seed_from_u64(1);
  kivo::stress::situations::cut_small(root, rng);
  kivo::stress::situations::build(root, rng, 40);
  EXPECT_TRUE(kivo::stress::oracle::fixed_form(root));
}

}  // namespace
