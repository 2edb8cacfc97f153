#include "oracle_bases.hpp"

#include <array>
#include <string_view>
#include <vector>

#include "kivo/stress/rng.hpp"
#include "kivo/stress/situations.hpp"
#include "template_edits.hpp"

namespace kivo::fuzz {
namespace {

// Content the engine copies as it is and never reads: dropping it keeps every decision the engine
// makes and makes each check several times faster.
bool bulky(const Element& element) {
  constexpr std::array<std::string_view, 4> kBulky = {"Warper", "Guides", "Fixtures", "ValueRange"};
  for (std::string_view name : kBulky) {
    if (element.name == name) return true;
  }
  // Typed parameters (opacity, blend mode, sizes) are settings no copy decision reads.
  if (element.name == "Param") return element.attr("T") != nullptr;
  if (element.name != "Params") return false;
  const std::string* group = element.attr("name");
  return group && *group != "Params" && *group != "Common";
}

void make_lean(Element& element) {
  std::erase_if(element.children, [](const XMLNode& node) {
    const Element* child = node.as_element();
    return child && bulky(*child);
  });
  for (XMLNode& node : element.children) {
    if (Element* child = node.as_element()) make_lean(*child);
  }
}

Element lean(Element root) {
  make_lean(root);
  return root;
}

// Cuts made once at start, each by its own seed: cutting a copy of the whole template for every
// input would cost more than the check itself.
std::vector<Element> cuts_of(const Element& root, std::uint64_t count) {
  std::vector<Element> cuts;
  for (std::uint64_t seed = 0; seed < count; ++seed) {
    auto rng = stress::StressRng::seed_from_u64(seed);
    Element cut = root;
    stress::situations::cut_small(cut, rng);
    cuts.push_back(std::move(cut));
  }
  return cuts;
}

const Element& pick_cut(FuzzedDataProvider& input, const std::vector<Element>& cuts) {
  return cuts[input.ConsumeIntegralInRange<std::size_t>(0, cuts.size() - 1)];
}

}  // namespace

Element oracle_base(FuzzedDataProvider& input) {
  static const std::vector<Element> lean_cuts = cuts_of(lean(bundled_template()), 64);
  static const Element lean_small = lean(small_template());
  static const std::vector<Element> whole_cuts = cuts_of(bundled_template(), 16);
  const int base = input.ConsumeIntegralInRange(0, 63);
  if (base < 28) return pick_cut(input, lean_cuts);
  if (base < 48) return lean_small;
  if (base < 59) return pick_cut(input, whole_cuts);
  if (base < 63) return small_template();
  return bundled_template();
}

}  // namespace kivo::fuzz
