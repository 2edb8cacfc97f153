// Requests aimed at decisions random plans reach only by luck: every request kind against every
// kind of screen, pastes on the aspect limit, pastes that keep coordinates as they are, and layers
// from lists and screens the ordinary planner never picks.
#include <algorithm>
#include <cmath>

#include "kivo/stress/runner/strict_requests.hpp"

namespace kivo::stress::runner::strict {
namespace {

constexpr std::uint8_t kScreenRequest = 0, kPasteRequest = 3;
constexpr ScreenKind kKinds[] = {ScreenKind::Screen, ScreenKind::DmxScreen, ScreenKind::Other};
constexpr const char* kCopyKinds[] = {"screen", "slice", "mask"};

struct Crossing {
  std::uint8_t request;
  ScreenKind from, onto;
};

Crossing crossing_of(const Combination& c) { return {c.first, kKinds[c.second], kKinds[c.third]}; }

std::vector<const LayerView*> layers_for(const Crossing& c, const DocumentView& view) {
  const char* tag = c.request == 2 ? "Mask" : "Slice";
  return layers_where(view, [&](const LayerView& l) {
    return l.tag == tag && l.screen_kind == c.from && l.in_first_layers &&
           (c.request != kPasteRequest || l.masked);
  });
}

std::vector<const LayerView*> slices_under(ScreenKind kind, const DocumentView& view) {
  return layers_where(
      view, [&](const LayerView& l) { return l.tag == "Slice" && l.screen_kind == kind; });
}

template <class T>
const T* choose(Rng& rng, const std::vector<const T*>& items) {
  const auto* chosen = rng.choose(items);
  return chosen ? *chosen : nullptr;
}

// How far a pair is from a limit of the paste: the aspect limit, or a span on the zero-size one.
double distance_to_limit(const LayerView& a, const LayerView& b) {
  for (const InputBox* box : {&*a.box, &*b.box}) {
    if (box->width == 1e-6 || box->height == 1e-6) return 0;
  }
  const double p = a.box->aspect(), q = b.box->aspect();
  return std::fabs((p > q ? p / q : q / p) - 1.35);
}

bool same_box(const InputBox& a, const InputBox& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

}  // namespace

std::vector<Combination> kind_crossings() {
  std::vector<Combination> all;
  for (std::uint8_t request = 0; request <= kPasteRequest; ++request) {
    for (std::uint8_t from = 0; from < 3; ++from) {
      for (std::uint8_t onto = 0; onto < (request == kScreenRequest ? 1 : 3); ++onto) {
        all.push_back({request, from, onto});
      }
    }
  }
  return all;
}

bool crossing_fits(const Combination& combination, const Views& views) {
  const Crossing c = crossing_of(combination);
  if (c.request == kScreenRequest) return !screen_ids(views.source, c.from).empty();
  if (layers_for(c, views.source).empty()) return false;
  if (c.request == kPasteRequest) return !slices_under(c.onto, views.target).empty();
  return !screen_ids(views.target, c.onto).empty();
}

std::optional<StressOperation> crossing_request(const Combination& combination, const Views& views,
                                                Rng& rng) {
  const Crossing c = crossing_of(combination);
  if (c.request == kScreenRequest) {
    const auto ids = screen_ids(views.source, c.from);
    const std::string* id = rng.choose(ids);
    if (!id) return std::nullopt;
    return StressOperation{StressCopy{"screen", *id, std::nullopt, std::nullopt}};
  }
  const LayerView* from = choose(rng, layers_for(c, views.source));
  if (!from) return std::nullopt;
  if (c.request == kPasteRequest) {
    const LayerView* onto = choose(rng, slices_under(c.onto, views.target));
    if (!onto) return std::nullopt;
    return StressOperation{StressOperation::InputMask{from->id, onto->id, rng.gen_bool(0.6)}};
  }
  const auto targets = screen_ids(views.target, c.onto);
  const std::string* onto = rng.choose(targets);
  if (!onto) return std::nullopt;
  return StressOperation{StressCopy{kCopyKinds[c.request], from->id, from->screen_id, *onto}};
}

std::optional<StressOperation> limit_paste(const Views& views, Rng& rng) {
  auto sources = layers_where(views.source, [](const LayerView& l) { return l.masked && l.box; });
  auto targets =
      layers_where(views.target, [](const LayerView& l) { return l.tag == "Slice" && l.box; });
  if (sources.empty() || targets.empty()) return std::nullopt;
  // Shuffled first, so that ties on the distance are broken at random.
  rng.shuffle(sources);
  rng.shuffle(targets);
  std::vector<std::pair<const LayerView*, const LayerView*>> pairs;
  for (const LayerView* from : sources) {
    for (const LayerView* onto : targets) pairs.push_back({from, onto});
  }
  std::stable_sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) {
    return distance_to_limit(*a.first, *a.second) < distance_to_limit(*b.first, *b.second);
  });
  // Mostly the nearest pair; sometimes one of the next, for the steps either side of the limit.
  const std::size_t pick =
      rng.gen_bool(0.5) ? 0 : rng.gen_range(0, std::min<std::size_t>(pairs.size(), 6));
  const auto& [from, onto] = pairs[pick];
  return StressOperation{StressOperation::InputMask{from->id, onto->id, rng.gen_bool(0.7)}};
}

std::optional<StressOperation> same_box_paste(const Views& views, Rng& rng) {
  std::vector<std::pair<const LayerView*, const LayerView*>> pairs;
  for (const LayerView& from : views.source.layers) {
    if (!from.masked || !from.box) continue;
    for (const LayerView& onto : views.target.layers) {
      if (onto.box && same_box(*from.box, *onto.box)) pairs.push_back({&from, &onto});
    }
  }
  const auto* chosen = rng.choose(pairs);
  if (!chosen) return std::nullopt;
  return StressOperation{
      StressOperation::InputMask{chosen->first->id, chosen->second->id, rng.gen_bool(0.7)}};
}

std::optional<StressOperation> layer_from_anywhere(const Views& views, Rng& rng) {
  const LayerView* from = rng.choose(views.source.layers);
  if (!from) return std::nullopt;
  const auto targets = screen_ids(views.target, std::nullopt);
  const std::string* onto = rng.choose(targets);
  if (!onto) return std::nullopt;
  return StressOperation{
      StressCopy{from->tag == "Slice" ? "slice" : "mask", from->id, from->screen_id, *onto}};
}

}  // namespace kivo::stress::runner::strict
