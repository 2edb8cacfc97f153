#include "kivo/stress/mutations.hpp"

namespace kivo::stress::mutations {
namespace {

std::string hex16(std::uint64_t value) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (std::size_t i = 16; i-- > 0; value >>= 4) text[i] = kDigits[value & 0xf];
  return text;
}

}  // namespace

void remap_ids_in_subtree(Element& element, Rng& rng) {
  if (element.attributes.contains("uniqueId")) {
    element.set_attr("uniqueId", "stress-u-" + hex16(rng.next_u64()));
  }
  if (element.attributes.contains("idHash")) element.set_attr("idHash", hex16(rng.next_u64()));
  for (auto& node : element.children) {
    if (Element* child = node.as_element()) remap_ids_in_subtree(*child, rng);
  }
}

}  // namespace kivo::stress::mutations
