// The copy engine on byte-chosen documents and requests: it must leave the source alone, leave
// the target alone when it refuses, and produce a writable, readable target when it succeeds.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_check.hpp"
#include "kivo/merge.hpp"
#include "kivo/xml_utils.hpp"
#include "template_edits.hpp"

namespace {

using kivo::Element;
using kivo::fuzz::demand;

// The template with edits, or (rarely) a document parsed from the input's own text.
Element pick_document(FuzzedDataProvider& input) {
  if (input.ConsumeIntegralInRange(0, 3) == 0) {
    auto parsed = kivo::xml_utils::parse(input.ConsumeRandomLengthString(4096));
    if (parsed) return std::move(*parsed);
  }
  Element root = kivo::fuzz::small_template();
  kivo::fuzz::apply_edits(input, root);
  return root;
}

std::optional<std::string> maybe_id(FuzzedDataProvider& input,
                                    const std::vector<std::string>& ids) {
  if (input.ConsumeBool()) return std::nullopt;
  return kivo::fuzz::pick_id(input, ids);
}

kivo::model::CopyOperation pick_copy(FuzzedDataProvider& input, const Element& source,
                                     const Element& target) {
  const auto source_ids = kivo::fuzz::unique_ids(source);
  kivo::model::CopyOperation request;
  request.source.kind = static_cast<kivo::model::NodeKind>(input.ConsumeIntegralInRange(0, 3));
  request.source.unique_id = kivo::fuzz::pick_id(input, source_ids);
  request.source.parent_unique_id = maybe_id(input, source_ids);
  request.source.side = input.ConsumeIntegral<std::uint8_t>();
  request.collision_policy = input.ConsumeIntegralInRange(0, 15) == 0
                                 ? input.ConsumeRandomLengthString(16)
                                 : std::string("autoRenameRemap");
  request.target_screen_unique_id = maybe_id(input, kivo::fuzz::unique_ids(target));
  request.target_side = input.ConsumeIntegral<std::uint8_t>();
  return request;
}

std::expected<kivo::model::CopyResult, kivo::AppError> run_request(FuzzedDataProvider& input,
                                                                   const Element& source,
                                                                   Element& target) {
  if (input.ConsumeBool()) {
    return kivo::merge::apply_copy(source, target, pick_copy(input, source, target));
  }
  const auto source_ids = kivo::fuzz::unique_ids(source);
  const std::string source_slice = kivo::fuzz::pick_id(input, source_ids);
  const std::string target_slice = kivo::fuzz::pick_id(input, kivo::fuzz::unique_ids(target));
  return kivo::merge::apply_slice_input_mask_copy(source, target, source_slice, target_slice,
                                                  input.ConsumeBool());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const Element source = pick_document(input);
  Element target = input.ConsumeBool() ? source : pick_document(input);
  const Element source_before = source;
  const Element target_before = target;
  // Edits may leave characters no text can hold; a copy can only be asked to write when both its
  // inputs could.
  const bool inputs_writable = kivo::xml_utils::write_xml_string(source).has_value() &&
                               kivo::xml_utils::write_xml_string(target).has_value();

  auto result = run_request(input, source, target);
  demand(source == source_before, "the source is never changed");
  if (!result) {
    demand(!result.error().message().empty(), "a refusal says why");
    demand(target == target_before, "a refused copy leaves the target unchanged",
           result.error().message());
    return 0;
  }
  if (!inputs_writable) return 0;
  auto written = kivo::xml_utils::write_xml_string(target);
  demand(written.has_value(), "a successful copy writes",
         written ? "" : written.error().description);
  auto reread = kivo::xml_utils::parse(*written);
  demand(reread.has_value(), "a successful copy reads back", *written);
  return 0;
}
