// One checked operation, with and without the strict oracle, against the write+parse floor it
// cannot avoid, at three document sizes.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

#include "kivo/merge.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/runner.hpp"
#include "kivo/xml_utils.hpp"

namespace {

using kivo::Element;

Element load_template() {
  std::ifstream in(KIVO_SOURCE_DIR "/Sample_files/fully_loaded.xml", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return *kivo::xml_utils::parse(text.str());
}

std::vector<std::string> screen_ids(const Element& root) {
  std::vector<std::string> ids;
  kivo::stress::runner::collect_screen_ids_rec(root, ids);
  return ids;
}

// The template with every screen copied in `factor - 1` more times.
Element scaled_target(int factor) {
  const Element base = load_template();
  Element target = base;
  const auto ids = screen_ids(base);
  for (int round = 1; round < factor; ++round) {
    for (const auto& id : ids) {
      kivo::model::CopyOperation request{
          {id, std::nullopt, 0, kivo::model::NodeKind::Screen}, "autoRenameRemap", std::nullopt, 1};
      (void)kivo::merge::apply_copy(base, target, request);
    }
  }
  return target;
}

// An overwriting mask paste keeps the document's size steady from one iteration to the next.
kivo::stress::StressOperation steady_operation(const Element& source, const Element& target) {
  std::string from, onto;
  for (const auto& slice : kivo::stress::runner::collect_slices(source.children)) {
    if (slice.has_mask && slice.input_aspect && from.empty()) from = slice.unique_id;
  }
  for (const auto& slice : kivo::stress::runner::collect_slices(target.children)) {
    if (slice.has_mask && slice.input_aspect) onto = slice.unique_id;
  }
  return {kivo::stress::StressOperation::InputMask{from, onto, true}};
}

void BM_CheckedMaskPaste(benchmark::State& state) {
  const Element source = load_template();
  Element target = scaled_target(static_cast<int>(state.range(0)));
  const auto operation = steady_operation(source, target);
  const bool strict = state.range(1) != 0;
  for (auto _ : state) {
    std::string outcome = kivo::stress::replay::execute_checked(source, target, operation, strict);
    benchmark::DoNotOptimize(outcome);
  }
  state.counters["bytes"] = static_cast<double>(kivo::xml_utils::write_xml_string(target)->size());
}

void BM_CheckedScreenCopy(benchmark::State& state) {
  const Element source = load_template();
  const Element start = scaled_target(static_cast<int>(state.range(0)));
  const kivo::stress::StressOperation operation{
      kivo::stress::StressOperation::Copy{"screen", screen_ids(source).front(), {}, {}}};
  const bool strict = state.range(1) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    Element target = start;
    state.ResumeTiming();
    std::string outcome = kivo::stress::replay::execute_checked(source, target, operation, strict);
    benchmark::DoNotOptimize(outcome);
    state.PauseTiming();
    { Element discard = std::move(target); }
    state.ResumeTiming();
  }
}

void BM_WriteParseFloor(benchmark::State& state) {
  const Element target = scaled_target(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto text = kivo::xml_utils::write_xml_string(target);
    auto parsed = kivo::xml_utils::parse(*text);
    benchmark::DoNotOptimize(parsed);
  }
}

BENCHMARK(BM_CheckedMaskPaste)
    ->ArgsProduct({{1, 2, 4}, {0, 1}})
    ->ArgNames({"size", "strict"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CheckedScreenCopy)
    ->ArgsProduct({{1, 2, 4}, {0, 1}})
    ->ArgNames({"size", "strict"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteParseFloor)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMicrosecond);

}  // namespace
