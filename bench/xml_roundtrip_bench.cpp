// Write and re-parse cost of a preset of about 100 KB, the work the stress harness does per step.
#include <benchmark/benchmark.h>

#include <string>

#include "kivo/xml_utils.hpp"

namespace {

std::string synthetic_preset(int screens, int slices) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><XmlState><ScreenSetup><screens>";
  int id = 0;
  for (int s = 0; s < screens; ++s) {
    text += "<Screen uniqueId=\"" + std::to_string(++id) + "\" name=\"Screen " + std::to_string(s) +
            "\"><Params name=\"Params\"><Param name=\"Name\" value=\"S&amp;" + std::to_string(s) +
            "\"/></Params><layers>";
    for (int l = 0; l < slices; ++l, ++id) {
      text +=
          "<Slice uniqueId=\"" + std::to_string(id + 1) + "\" idHash=\"h" + std::to_string(id + 1) +
          "\"><Params name=\"Common\"><Param name=\"Name\" value=\"Slice " + std::to_string(l) +
          "\"/><Param name=\"Enabled\" value=\"1\"/></Params><InputRect><v x=\"0\" y=\"0\"/>"
          "<v x=\"1920\" y=\"0\"/><v x=\"1920\" y=\"1080\"/><v x=\"0\" y=\"1080\"/></InputRect>"
          "<!-- slice --><OutputRect><v x=\"0.5\" y=\"0.25\"/><v x=\"100\" y=\"0\"/></OutputRect>"
          "</Slice>";
    }
    text += "</layers></Screen>";
  }
  return text + "</screens></ScreenSetup></XmlState>";
}

void BM_WriteAndReparsePreset(benchmark::State& state) {
  const std::string text = synthetic_preset(4, 80);
  const kivo::Element root = *kivo::xml_utils::parse(text);
  for (auto _ : state) {
    auto written = kivo::xml_utils::write_xml_string(root);
    auto reread = kivo::xml_utils::parse(*written);
    benchmark::DoNotOptimize(reread);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["input_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_WriteAndReparsePreset)->Unit(benchmark::kMicrosecond);

void BM_WritePreset(benchmark::State& state) {
  const kivo::Element root = *kivo::xml_utils::parse(synthetic_preset(4, 80));
  for (auto _ : state) benchmark::DoNotOptimize(kivo::xml_utils::write_xml_string(root));
}
BENCHMARK(BM_WritePreset)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
