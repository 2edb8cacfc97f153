#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "kivo/merge.hpp"
#include "kivo/xml_utils.hpp"

namespace {

using kivo::Element;
using kivo::XMLNode;
using kivo::model::CopyOperation;
using kivo::model::NodeKind;

const Element& bundled_template() {
  static const Element root = [] {
    std::ifstream file(KIVO_SOURCE_DIR "/Sample_files/fully_loaded.xml", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    auto parsed = kivo::xml_utils::parse(text.str());
    if (!parsed) throw std::runtime_error("cannot read the bundled template");
    return *parsed;
  }();
  return root;
}

const Element& screens_list(const Element& root) {
  return *kivo::xml_utils::child(*kivo::xml_utils::child(root, "ScreenSetup"), "screens");
}

const Element& first_screen(const Element& root) {
  return *kivo::xml_utils::child(screens_list(root), "Screen");
}

const Element& first_slice(const Element& screen) {
  return *kivo::xml_utils::child(*kivo::xml_utils::child(screen, "layers"), "Slice");
}

CopyOperation request(NodeKind kind, const Element& node, const Element& screen) {
  CopyOperation op;
  op.source.kind = kind;
  op.source.unique_id = *node.attr("uniqueId");
  op.source.parent_unique_id = *screen.attr("uniqueId");
  op.collision_policy = "autoRenameRemap";
  op.target_screen_unique_id = *screen.attr("uniqueId");
  return op;
}

// The target is reset outside the timed region, so each iteration copies into the template.
void run_copies(benchmark::State& state, const CopyOperation& op) {
  const Element& source = bundled_template();
  Element target = source;
  for (auto _ : state) {
    auto result = kivo::merge::apply_copy(source, target, op);
    benchmark::DoNotOptimize(result);
    state.PauseTiming();
    target = source;
    state.ResumeTiming();
  }
}

void BM_ApplyCopyScreen(benchmark::State& state) {
  const Element& screen = first_screen(bundled_template());
  run_copies(state, request(NodeKind::Screen, screen, screen));
}
BENCHMARK(BM_ApplyCopyScreen);

void BM_ApplyCopySlice(benchmark::State& state) {
  const Element& screen = first_screen(bundled_template());
  run_copies(state, request(NodeKind::Slice, first_slice(screen), screen));
}
BENCHMARK(BM_ApplyCopySlice);

// Renumbering the same subtree again and again gives the same amount of work each time.
void BM_RemapScreenIntoTemplate(benchmark::State& state) {
  const Element& target = bundled_template();
  Element inserted = first_screen(target);
  for (auto _ : state) {
    auto remap = kivo::merge::remap_ids_for_insert(inserted, target);
    benchmark::DoNotOptimize(remap);
  }
}
BENCHMARK(BM_RemapScreenIntoTemplate);

// A target holding the template's screens `range(0)` times: the cost grows linearly with it.
void BM_RemapScreenIntoGrownTarget(benchmark::State& state) {
  Element target = bundled_template();
  Element& screens =
      *kivo::xml_utils::child(*kivo::xml_utils::child(target, "ScreenSetup"), "screens");
  const std::vector<XMLNode> originals = screens.children;
  for (int copy = 1; copy < state.range(0); ++copy) {
    screens.children.insert(screens.children.end(), originals.begin(), originals.end());
  }
  Element inserted = first_screen(bundled_template());
  for (auto _ : state) {
    auto remap = kivo::merge::remap_ids_for_insert(inserted, target);
    benchmark::DoNotOptimize(remap);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RemapScreenIntoGrownTarget)->RangeMultiplier(4)->Range(1, 256)->Complexity();

}  // namespace

// The executable's main() comes from BENCHMARK_MAIN in xml_roundtrip_bench.cpp (one kivo_bench).
