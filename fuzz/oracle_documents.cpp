#include "oracle_documents.hpp"

#include "kivo/stress/mutations.hpp"
#include "kivo/stress/situations.hpp"
#include "kivo/xml_utils.hpp"
#include "oracle_bases.hpp"
#include "template_edits.hpp"

namespace kivo::fuzz {
namespace {

// What the strict generator does to a document: the text its writer produces, read back.
std::optional<Element> normalised(const Element& root) {
  auto text = xml_utils::write_xml_string(root);
  if (!text) return std::nullopt;
  auto reread = xml_utils::parse(*text);
  if (!reread) return std::nullopt;
  return std::move(*reread);
}

}  // namespace

std::optional<Element> oracle_document(FuzzedDataProvider& input, FuzzRng& rng) {
  Element root = oracle_base(input);
  const auto shaping = input.ConsumeIntegral<std::uint8_t>();
  if (shaping & 2) stress::mutations::apply_strict_edits(root, rng, rng.gen_range(1, 5));
  // Situations are what strict documents hold and the template never does, so most inputs (and
  // every input too short to say otherwise) get a strict generator's share of them.
  if (!(shaping & 4)) stress::situations::build(root, rng, rng.gen_range(1, 13));
  // Last, as the builders expect the shapes of presets: free edits may nest a slice anywhere.
  if (shaping & 1) apply_edits(input, root);
  return normalised(root);
}

}  // namespace kivo::fuzz
