// Requests with two things wrong at once, so that the order in which the engine checks a request
// is judged: every pair of faults that change different parts of one request.
#include <array>
#include <cmath>

#include "kivo/stress/runner/strict_requests.hpp"

namespace kivo::stress::runner::strict {
namespace {

const std::string kMissingScreen = "kivo-no-such-screen";
const std::string kMissingLayer = "kivo-no-such-layer";
constexpr const char* kOtherPolicies[] = {"autorenameremap", "AutoRenameRemap", "overwrite", "",
                                          "autoRenameRemap "};

// The part of a request a fault changes; two faults of one part would hide each other.
enum class Part : std::uint8_t { Policy, Parent, Layer, Target, Screen, From, Onto, Relation };
enum class Request : std::uint8_t { LayerCopy, ScreenCopy, Paste };

struct Draft {
  StressCopy copy;
  StressOperation::InputMask paste;
};

using LayerTest = bool (*)(const LayerView&);

bool is_screen(const ScreenView& screen) { return screen.kind == ScreenKind::Screen; }
bool first_screen_layer(const LayerView& l) {
  return l.in_first_layers && l.screen_kind == ScreenKind::Screen;
}

template <class Wanted>
const ScreenView* some_screen(const DocumentView& view, Rng& rng, Wanted wanted) {
  std::vector<const ScreenView*> found;
  for (const ScreenView& screen : view.screens) {
    if (wanted(screen)) found.push_back(&screen);
  }
  const auto* chosen = rng.choose(found);
  return chosen ? *chosen : nullptr;
}

template <class Wanted>
bool has_screen(const DocumentView& view, Wanted wanted) {
  for (const ScreenView& screen : view.screens) {
    if (wanted(screen)) return true;
  }
  return false;
}

const LayerView* some_layer(const DocumentView& view, Rng& rng, LayerTest wanted) {
  const auto found = layers_where(view, wanted);
  const auto* chosen = rng.choose(found);
  return chosen ? *chosen : nullptr;
}

bool has_layer(const DocumentView& view, LayerTest wanted) {
  return !layers_where(view, wanted).empty();
}

std::string screen_id_or_missing(const ScreenView* screen) {
  return screen ? screen->id : kMissingScreen;
}

bool bare(const ScreenView& s) { return is_screen(s) && !s.has_layers; }
bool other_kind(const ScreenView& s) { return !is_screen(s); }
bool second_list_layer(const LayerView& l) {
  return !l.in_first_layers && l.screen_kind == ScreenKind::Screen;
}
bool slice(const LayerView& l) { return l.tag == "Slice"; }
bool mask_layer(const LayerView& l) { return l.tag == "Mask"; }
bool unmasked(const LayerView& l) { return slice(l) && !l.masked; }
bool unmeasurable(const LayerView& l) { return slice(l) && !l.box; }
bool masked_measurable(const LayerView& l) { return slice(l) && l.masked && l.box; }
bool measurable(const LayerView& l) { return slice(l) && l.box.has_value(); }
bool masked(const LayerView& l) { return slice(l) && l.masked; }
bool second_list_slice(const LayerView& l) { return slice(l) && !l.in_first_layers; }
bool unmasked_unmeasurable(const LayerView& l) { return unmasked(l) && !l.box; }
bool masked_unmeasurable(const LayerView& l) { return masked(l) && !l.box; }
bool unreadable_mask(const LayerView& l) { return masked_measurable(l) && !l.mask_readable; }
bool bare_other_kind(const ScreenView& s) { return !is_screen(s) && !s.has_layers; }

double ratio_between(const LayerView& a, const LayerView& b) {
  const double p = a.box->aspect(), q = b.box->aspect();
  return p > q ? p / q : q / p;
}

// A masked slice of the source and a slice of the target whose aspect ratios are too different,
// both also meeting `from_too` and `onto_too`.
std::optional<std::pair<const LayerView*, const LayerView*>> mismatch(
    const Views& views, LayerTest from_too = measurable, LayerTest onto_too = measurable) {
  for (const LayerView* from : layers_where(views.source, masked_measurable)) {
    if (!from_too(*from)) continue;
    for (const LayerView* onto : layers_where(views.target, measurable)) {
      if (onto_too(*onto) && ratio_between(*from, *onto) > 1.35) return std::pair{from, onto};
    }
  }
  return std::nullopt;
}

struct Fault {
  std::string_view name;
  Request request;
  Part part;
  bool (*fits)(const Views&);
  void (*apply)(Draft&, const Views&, Rng&);
};

bool always(const Views&) { return true; }

void set_layer(Draft& d, const LayerView& layer) {
  d.copy.source_kind = layer.tag == "Slice" ? "slice" : "mask";
  d.copy.source_unique_id = layer.id;
  d.copy.source_parent_unique_id = layer.screen_id;
}

const std::array kFaults = {
    Fault{"other collision policy", Request::LayerCopy, Part::Policy, always,
          [](Draft& d, const Views&, Rng& rng) {
            d.copy.collision_policy = kOtherPolicies[rng.gen_range(0, std::size(kOtherPolicies))];
          }},
    Fault{"no parent", Request::LayerCopy, Part::Parent, always,
          [](Draft& d, const Views&, Rng&) { d.copy.source_parent_unique_id.reset(); }},
    Fault{"unknown parent", Request::LayerCopy, Part::Parent, always,
          [](Draft& d, const Views&, Rng&) { d.copy.source_parent_unique_id = kMissingScreen; }},
    Fault{"parent of another kind", Request::LayerCopy, Part::Parent,
          [](const Views& v) { return has_screen(v.source, other_kind); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.copy.source_parent_unique_id = some_screen(v.source, rng, other_kind)->id;
          }},
    Fault{"parent without layers", Request::LayerCopy, Part::Parent,
          [](const Views& v) { return has_screen(v.source, bare); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.copy.source_parent_unique_id = some_screen(v.source, rng, bare)->id;
          }},
    Fault{"parent that does not hold the layer", Request::LayerCopy, Part::Parent,
          [](const Views& v) { return screen_ids(v.source, ScreenKind::Screen).size() >= 2; },
          [](Draft& d, const Views& v, Rng& rng) {
            const std::string own = d.copy.source_parent_unique_id.value_or("");
            d.copy.source_parent_unique_id = screen_id_or_missing(some_screen(
                v.source, rng, [&](const ScreenView& s) { return is_screen(s) && s.id != own; }));
          }},
    Fault{"layer of the other tag", Request::LayerCopy, Part::Layer, always,
          [](Draft& d, const Views&, Rng&) {
            d.copy.source_kind = d.copy.source_kind == "slice" ? "mask" : "slice";
          }},
    Fault{"unknown layer", Request::LayerCopy, Part::Layer, always,
          [](Draft& d, const Views&, Rng&) { d.copy.source_unique_id = kMissingLayer; }},
    Fault{"layer in a second list", Request::LayerCopy, Part::Layer,
          [](const Views& v) { return has_layer(v.source, second_list_layer); },
          [](Draft& d, const Views& v, Rng& rng) {
            set_layer(d, *some_layer(v.source, rng, second_list_layer));
          }},
    Fault{"no target screen", Request::LayerCopy, Part::Target, always,
          [](Draft& d, const Views&, Rng&) { d.copy.target_screen_unique_id.reset(); }},
    Fault{"unknown target screen", Request::LayerCopy, Part::Target, always,
          [](Draft& d, const Views&, Rng&) { d.copy.target_screen_unique_id = kMissingScreen; }},
    Fault{"target screen of another kind", Request::LayerCopy, Part::Target,
          [](const Views& v) { return has_screen(v.target, other_kind); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.copy.target_screen_unique_id = some_screen(v.target, rng, other_kind)->id;
          }},
    Fault{"target screen without layers", Request::LayerCopy, Part::Target,
          [](const Views& v) { return has_screen(v.target, bare); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.copy.target_screen_unique_id = some_screen(v.target, rng, bare)->id;
          }},
    Fault{"other collision policy", Request::ScreenCopy, Part::Policy, always,
          [](Draft& d, const Views&, Rng& rng) {
            d.copy.collision_policy = kOtherPolicies[rng.gen_range(0, std::size(kOtherPolicies))];
          }},
    Fault{"unknown screen", Request::ScreenCopy, Part::Screen, always,
          [](Draft& d, const Views&, Rng&) { d.copy.source_unique_id = kMissingScreen; }},
    Fault{"screen of another kind", Request::ScreenCopy, Part::Screen,
          [](const Views& v) { return has_screen(v.source, other_kind); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.copy.source_unique_id = some_screen(v.source, rng, other_kind)->id;
          }},
    Fault{"unknown source slice", Request::Paste, Part::From, always,
          [](Draft& d, const Views&, Rng&) { d.paste.source_slice_unique_id = kMissingLayer; }},
    Fault{"source is a mask layer", Request::Paste, Part::From,
          [](const Views& v) { return has_layer(v.source, mask_layer); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.paste.source_slice_unique_id = some_layer(v.source, rng, mask_layer)->id;
          }},
    Fault{"source without mask", Request::Paste, Part::From,
          [](const Views& v) { return has_layer(v.source, unmasked); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.paste.source_slice_unique_id = some_layer(v.source, rng, unmasked)->id;
          }},
    Fault{"source unmeasurable", Request::Paste, Part::From,
          [](const Views& v) { return has_layer(v.source, masked_unmeasurable); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.paste.source_slice_unique_id = some_layer(v.source, rng, masked_unmeasurable)->id;
          }},
    Fault{"source in a second list", Request::Paste, Part::From,
          [](const Views& v) { return has_layer(v.source, second_list_slice); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.paste.source_slice_unique_id = some_layer(v.source, rng, second_list_slice)->id;
          }},
    Fault{"unknown target slice", Request::Paste, Part::Onto, always,
          [](Draft& d, const Views&, Rng&) { d.paste.target_slice_unique_id = kMissingLayer; }},
    Fault{"target is a mask layer", Request::Paste, Part::Onto,
          [](const Views& v) { return has_layer(v.target, mask_layer); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.paste.target_slice_unique_id = some_layer(v.target, rng, mask_layer)->id;
          }},
    Fault{"target unmeasurable", Request::Paste, Part::Onto,
          [](const Views& v) { return has_layer(v.target, unmeasurable); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.paste.target_slice_unique_id = some_layer(v.target, rng, unmeasurable)->id;
          }},
    Fault{"target masked, no overwrite", Request::Paste, Part::Onto,
          [](const Views& v) { return has_layer(v.target, masked); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.paste.target_slice_unique_id = some_layer(v.target, rng, masked)->id;
            d.paste.allow_overwrite = false;
          }},
    Fault{"target in a second list", Request::Paste, Part::Onto,
          [](const Views& v) { return has_layer(v.target, second_list_slice); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.paste.target_slice_unique_id = some_layer(v.target, rng, second_list_slice)->id;
          }},
    Fault{"aspect ratios too different", Request::Paste, Part::Relation,
          [](const Views& v) { return mismatch(v).has_value(); },
          [](Draft& d, const Views& v, Rng&) {
            auto [from, onto] = *mismatch(v);
            d.paste.source_slice_unique_id = from->id;
            d.paste.target_slice_unique_id = onto->id;
          }},
    // Two things wrong with one slice: which check comes first shows.
    Fault{"source without mask and unmeasurable", Request::Paste, Part::From,
          [](const Views& v) { return has_layer(v.source, unmasked_unmeasurable); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.paste.source_slice_unique_id = some_layer(v.source, rng, unmasked_unmeasurable)->id;
          }},
    Fault{"target masked and unmeasurable, no overwrite", Request::Paste, Part::Onto,
          [](const Views& v) { return has_layer(v.target, masked_unmeasurable); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.paste.target_slice_unique_id = some_layer(v.target, rng, masked_unmeasurable)->id;
            d.paste.allow_overwrite = false;
          }},
    Fault{"aspect ratios too different onto a masked target, no overwrite", Request::Paste,
          Part::Relation,
          [](const Views& v) { return mismatch(v, measurable, masked).has_value(); },
          [](Draft& d, const Views& v, Rng&) {
            auto [from, onto] = *mismatch(v, measurable, masked);
            d.paste = {from->id, onto->id, false};
          }},
    Fault{"aspect ratios too different from a mask that does not read", Request::Paste,
          Part::Relation,
          [](const Views& v) { return mismatch(v, unreadable_mask, measurable).has_value(); },
          [](Draft& d, const Views& v, Rng&) {
            auto [from, onto] = *mismatch(v, unreadable_mask, measurable);
            d.paste.source_slice_unique_id = from->id;
            d.paste.target_slice_unique_id = onto->id;
          }},
    Fault{"source mask does not read", Request::Paste, Part::From,
          [](const Views& v) { return has_layer(v.source, unreadable_mask); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.paste.source_slice_unique_id = some_layer(v.source, rng, unreadable_mask)->id;
          }},
    Fault{"target screen of another kind without layers", Request::LayerCopy, Part::Target,
          [](const Views& v) { return has_screen(v.target, bare_other_kind); },
          [](Draft& d, const Views& v, Rng& rng) {
            d.copy.target_screen_unique_id = some_screen(v.target, rng, bare_other_kind)->id;
          }},
    Fault{"target without a screens list", Request::ScreenCopy, Part::Target,
          [](const Views& v) { return !v.target.has_screens_list; },
          [](Draft&, const Views&, Rng&) {}},
};

// A request with nothing wrong, as far as the documents allow, for faults to change.
Draft base(Request request, const Views& views, Rng& rng) {
  Draft d;
  d.copy.source_kind = rng.gen_bool(0.5) ? "slice" : "mask";
  d.copy.source_unique_id = kMissingLayer;
  if (request == Request::ScreenCopy) {
    d.copy.source_kind = "screen";
    d.copy.source_unique_id = screen_id_or_missing(some_screen(views.source, rng, is_screen));
    return d;
  }
  if (const LayerView* layer = some_layer(views.source, rng, first_screen_layer)) {
    set_layer(d, *layer);
  }
  d.copy.target_screen_unique_id = screen_id_or_missing(some_screen(
      views.target, rng, [](const ScreenView& s) { return is_screen(s) && s.has_layers; }));
  const LayerView* from = some_layer(views.source, rng, masked_measurable);
  const LayerView* onto = some_layer(views.target, rng, measurable);
  d.paste = {from ? from->id : kMissingLayer, onto ? onto->id : kMissingLayer, rng.gen_bool(0.5)};
  return d;
}

}  // namespace

std::vector<Combination> fault_pairs() {
  std::vector<Combination> pairs;
  for (std::size_t i = 0; i < kFaults.size(); ++i) {
    for (std::size_t j = i + 1; j < kFaults.size(); ++j) {
      if (kFaults[i].request == kFaults[j].request && kFaults[i].part != kFaults[j].part) {
        pairs.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(j), 0});
      }
    }
  }
  return pairs;
}

bool fault_pair_fits(const Combination& pair, const Views& views) {
  return kFaults[pair.first].fits(views) && kFaults[pair.second].fits(views);
}

std::optional<StressOperation> fault_pair_request(const Combination& pair, const Views& views,
                                                  Rng& rng) {
  const Fault& first = kFaults[pair.first];
  const Fault& second = kFaults[pair.second];
  Draft draft = base(first.request, views, rng);
  // A fault that sets both slices goes first, so that the other fault still shows.
  const bool swap = second.part == Part::Relation;
  (swap ? second : first).apply(draft, views, rng);
  (swap ? first : second).apply(draft, views, rng);
  if (first.request == Request::Paste) return StressOperation{draft.paste};
  return StressOperation{draft.copy};
}

}  // namespace kivo::stress::runner::strict
