#include "oracle_requests.hpp"

#include <optional>
#include <vector>

#include "kivo/stress/runner.hpp"
#include "kivo/stress/runner/strict_requests.hpp"
#include "template_edits.hpp"

namespace kivo::fuzz {
namespace {

namespace strict = stress::runner::strict;
using stress::StressCopy;
using stress::StressOperation;

const char* const kPolicies[] = {
    "autoRenameRemap", "autorenameremap", "AutoRenameRemap", "overwrite", "", "autoRenameRemap "};
const char* const kOddIds[] = {"",   "0", "kivo-no-such-id", "18446744073709551615", "+1",
                               " 1", "1 "};
const char* const kCopyKinds[] = {"screen", "slice", "mask"};
constexpr std::string_view kBuilders[] = {"ordinary", "fault pair", "crossing", "limit paste",
                                          "same box", "anywhere",   "colliding"};

template <class T>
const T* pick(FuzzedDataProvider& input, const std::vector<T>& items) {
  if (items.empty()) return nullptr;
  return &items[input.ConsumeIntegralInRange<std::size_t>(0, items.size() - 1)];
}

// Mostly one of `preferred`; sometimes any uniqueId of `root`, an odd value or the input's text.
std::string some_id(FuzzedDataProvider& input, const std::vector<std::string>& preferred,
                    const Element& root) {
  switch (input.ConsumeIntegralInRange(0, 7)) {
    case 5: {
      const auto ids = unique_ids(root);
      if (const std::string* id = pick(input, ids)) return *id;
      break;
    }
    case 6:
      return input.PickValueInArray(kOddIds);
    case 7:
      return input.ConsumeRandomLengthString(24);
    default:
      if (const std::string* id = pick(input, preferred)) return *id;
  }
  return input.PickValueInArray(kOddIds);
}

std::vector<std::string> screen_ids(const strict::DocumentView& view) {
  return strict::screen_ids(view, std::nullopt);
}

std::vector<std::string> ids_of(const std::vector<const strict::LayerView*>& layers) {
  std::vector<std::string> ids;
  for (const strict::LayerView* layer : layers) ids.push_back(layer->id);
  return ids;
}

std::optional<std::string> policy(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 7)) {
    case 6:
      return input.PickValueInArray(kPolicies);
    case 7:
      return input.ConsumeRandomLengthString(20);
    default:
      return std::nullopt;
  }
}

StressCopy screen_copy(FuzzedDataProvider& input, const Element& source, const Element& target,
                       const strict::Views& views) {
  StressCopy copy{"screen", some_id(input, screen_ids(views.source), source), std::nullopt,
                  std::nullopt, std::nullopt};
  if (input.ConsumeIntegralInRange(0, 3) == 3) {
    copy.source_parent_unique_id = some_id(input, screen_ids(views.source), source);
  }
  if (input.ConsumeIntegralInRange(0, 3) == 3) {
    copy.target_screen_unique_id = some_id(input, screen_ids(views.target), target);
  }
  return copy;
}

std::optional<std::string> layer_parent(FuzzedDataProvider& input, const strict::LayerView* layer,
                                        const Element& source, const strict::Views& views) {
  switch (input.ConsumeIntegralInRange(0, 5)) {
    case 4:
      return std::nullopt;
    case 5:
      return some_id(input, screen_ids(views.source), source);
    default:
      if (layer) return layer->screen_id;
      return some_id(input, screen_ids(views.source), source);
  }
}

StressCopy layer_copy(FuzzedDataProvider& input, const char* kind, const Element& source,
                      const Element& target, const strict::Views& views) {
  const std::string tag = kind == std::string("slice") ? "Slice" : "Mask";
  const auto layers =
      strict::layers_where(views.source, [&](const strict::LayerView& l) { return l.tag == tag; });
  const strict::LayerView* const* layer = pick(input, layers);
  StressCopy copy;
  copy.source_kind = kind;
  copy.source_unique_id = layer && input.ConsumeIntegralInRange(0, 7) != 7
                              ? (*layer)->id
                              : some_id(input, ids_of(layers), source);
  copy.source_parent_unique_id = layer_parent(input, layer ? *layer : nullptr, source, views);
  if (input.ConsumeIntegralInRange(0, 7) != 7) {
    copy.target_screen_unique_id = some_id(input, screen_ids(views.target), target);
  }
  return copy;
}

StressOperation raw_copy(FuzzedDataProvider& input, const Element& source, const Element& target,
                         const strict::Views& views) {
  const char* kind = input.PickValueInArray(kCopyKinds);
  StressCopy copy = kind == std::string("screen") ? screen_copy(input, source, target, views)
                                                  : layer_copy(input, kind, source, target, views);
  copy.collision_policy = policy(input);
  return StressOperation{std::move(copy)};
}

StressOperation raw_paste(FuzzedDataProvider& input, const Element& source, const Element& target,
                          const strict::Views& views) {
  const bool masked_only = input.ConsumeIntegralInRange(0, 3) != 3;
  const auto from = strict::layers_where(views.source, [&](const strict::LayerView& l) {
    return l.tag == "Slice" && (l.masked || !masked_only);
  });
  const auto onto = strict::layers_where(
      views.target, [](const strict::LayerView& l) { return l.tag == "Slice"; });
  StressOperation::InputMask paste{some_id(input, ids_of(from), source),
                                   some_id(input, ids_of(onto), target), input.ConsumeBool()};
  return StressOperation{std::move(paste)};
}

template <class Fits, class Build>
std::optional<StressOperation> from_table(FuzzedDataProvider& input,
                                          const std::vector<strict::Combination>& table, Fits fits,
                                          Build build) {
  std::vector<strict::Combination> fitting;
  for (const strict::Combination& combination : table) {
    if (fits(combination)) fitting.push_back(combination);
  }
  const strict::Combination* chosen = pick(input, fitting);
  return chosen ? build(*chosen) : std::nullopt;
}

std::optional<StressOperation> built_request(int builder, FuzzedDataProvider& input, FuzzRng& rng,
                                             const Element& source, const Element& target,
                                             const strict::Views& views) {
  static const auto pairs = strict::fault_pairs();
  static const auto crossings = strict::kind_crossings();
  switch (builder) {
    case 0: {
      auto planned = stress::runner::plan_operation(source, target, rng);
      return planned ? std::optional(planned->operation) : std::nullopt;
    }
    case 1:
      return from_table(
          input, pairs, [&](const auto& c) { return strict::fault_pair_fits(c, views); },
          [&](const auto& c) { return strict::fault_pair_request(c, views, rng); });
    case 2:
      return from_table(
          input, crossings, [&](const auto& c) { return strict::crossing_fits(c, views); },
          [&](const auto& c) { return strict::crossing_request(c, views, rng); });
    case 3:
      return strict::limit_paste(views, rng);
    case 4:
      return strict::same_box_paste(views, rng);
    case 5:
      return strict::layer_from_anywhere(views, rng);
    default:
      return strict::colliding_copy(source, target, views, rng);
  }
}

}  // namespace

OracleRequest oracle_request(FuzzedDataProvider& input, FuzzRng& rng, const Element& source,
                             const Element& target) {
  const strict::Views views{strict::view_of(source), strict::view_of(target)};
  const int choice = input.ConsumeIntegralInRange(0, 9);
  if (choice >= 3) {
    if (auto built = built_request(choice - 3, input, rng, source, target, views)) {
      return {std::move(*built), kBuilders[choice - 3]};
    }
  }
  if (choice == 2) return {raw_paste(input, source, target, views), "paste"};
  return {raw_copy(input, source, target, views), "copy"};
}

namespace {

std::string text_or_none(const std::optional<std::string>& text) {
  return text ? "'" + *text + "'" : std::string("none");
}

}  // namespace

std::string describe(const StressOperation& operation) {
  if (const auto* copy = std::get_if<StressCopy>(&operation.value)) {
    return "copy " + copy->source_kind + " " + text_or_none(copy->source_unique_id) + " parent " +
           text_or_none(copy->source_parent_unique_id) + " onto screen " +
           text_or_none(copy->target_screen_unique_id) + " policy " +
           text_or_none(copy->collision_policy);
  }
  const auto& paste = std::get<StressOperation::InputMask>(operation.value);
  return "paste the input mask of slice " + text_or_none(paste.source_slice_unique_id) +
         " onto slice " + text_or_none(paste.target_slice_unique_id) +
         (paste.allow_overwrite ? " allowing overwrite" : " without overwrite");
}

}  // namespace kivo::fuzz
