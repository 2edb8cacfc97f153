// Parse and write throughput of kivo's tree beside its peers, on the bundled template and on a
// preset four times its size: expat with events only (the floor of any tree built on it) and
// pugixml. Run as `kivo_bench --benchmark_filter=Peer`; the ratios are printed after the table.
#include <benchmark/benchmark.h>
#include <expat.h>
#include <malloc.h>

#include <fstream>
#include <pugixml.hpp>
#include <sstream>
#include <string>

#include "kivo/xml_utils.hpp"

namespace {

std::string bundled_template() {
  std::ifstream in(KIVO_SOURCE_DIR "/Sample_files/fully_loaded.xml", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

kivo::Element* screens_of(kivo::Element& root) {
  for (auto& node : root.children) {
    kivo::Element* setup = node.as_element();
    if (setup == nullptr || setup->name != "ScreenSetup") continue;
    for (auto& inner : setup->children) {
      kivo::Element* screens = inner.as_element();
      if (screens != nullptr && screens->name == "screens") return screens;
    }
  }
  return nullptr;
}

// The template with its screens repeated four times (identifiers repeat too; parsing and writing
// do not mind).
std::string four_times_template() {
  kivo::Element root = *kivo::xml_utils::parse(bundled_template());
  if (kivo::Element* screens = screens_of(root)) {
    const std::vector<kivo::XMLNode> once = screens->children;
    for (int copy = 1; copy < 4; ++copy) {
      screens->children.insert(screens->children.end(), once.begin(), once.end());
    }
  }
  return *kivo::xml_utils::write_xml_string(root);
}

const std::string& preset_text(int which) {
  static const std::string texts[] = {bundled_template(), four_times_template()};
  return texts[which];
}

std::size_t heap_in_use() { return mallinfo2().uordblks; }

void count_bytes(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["text_bytes"] = static_cast<double>(bytes);
}

void BM_PeerParseKivo(benchmark::State& state) {
  const std::string& text = preset_text(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(kivo::xml_utils::parse(text));
  count_bytes(state, text.size());
  const std::size_t before = heap_in_use();
  auto kept = kivo::xml_utils::parse(text);
  state.counters["tree_per_text"] =
      static_cast<double>(heap_in_use() - before) / static_cast<double>(text.size());
}

// What any tree built on expat pays at least: expat configured as the tree builder configures it
// (namespace processing with prefixes kept, the same callbacks), each callback doing nothing.
void BM_PeerParseExpatEvents(benchmark::State& state) {
  const std::string& text = preset_text(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    XML_Parser parser = XML_ParserCreateNS(nullptr, '\x01');
    XML_SetReturnNSTriplet(parser, XML_TRUE);
    XML_SetElementHandler(parser, [](void*, const XML_Char*, const XML_Char**) {},
                          [](void*, const XML_Char*) {});
    XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
    XML_SetCommentHandler(parser, [](void*, const XML_Char*) {});
    XML_SetProcessingInstructionHandler(parser, [](void*, const XML_Char*, const XML_Char*) {});
    XML_SetCdataSectionHandler(parser, [](void*) {}, [](void*) {});
    XML_SetNamespaceDeclHandler(parser, [](void*, const XML_Char*, const XML_Char*) {},
                                [](void*, const XML_Char*) {});
    const auto status = XML_Parse(parser, text.data(), static_cast<int>(text.size()), XML_TRUE);
    benchmark::DoNotOptimize(status);
    XML_ParserFree(parser);
  }
  count_bytes(state, text.size());
}

void BM_PeerParsePugixml(benchmark::State& state) {
  const std::string& text = preset_text(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    pugi::xml_document doc;
    benchmark::DoNotOptimize(doc.load_buffer(text.data(), text.size()));
  }
  count_bytes(state, text.size());
  const std::size_t before = heap_in_use();
  pugi::xml_document kept;
  kept.load_buffer(text.data(), text.size());
  state.counters["tree_per_text"] =
      static_cast<double>(heap_in_use() - before) / static_cast<double>(text.size());
}

void BM_PeerWriteKivo(benchmark::State& state) {
  const std::string& text = preset_text(static_cast<int>(state.range(0)));
  const kivo::Element root = *kivo::xml_utils::parse(text);
  for (auto _ : state) benchmark::DoNotOptimize(kivo::xml_utils::write_xml_string(root));
  count_bytes(state, text.size());
}

struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, std::size_t size) override {
    out.append(static_cast<const char*>(data), size);
  }
};

void BM_PeerWritePugixml(benchmark::State& state) {
  const std::string& text = preset_text(static_cast<int>(state.range(0)));
  pugi::xml_document doc;
  doc.load_buffer(text.data(), text.size());
  for (auto _ : state) {
    StringWriter writer;
    doc.save(writer, "  ");
    benchmark::DoNotOptimize(writer.out);
  }
  count_bytes(state, text.size());
}

// Argument 0 is the bundled template, 1 the preset four times its size.
BENCHMARK(BM_PeerParseKivo)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PeerParseExpatEvents)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PeerParsePugixml)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PeerWriteKivo)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PeerWritePugixml)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
