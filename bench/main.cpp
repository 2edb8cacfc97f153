// The benchmark runner, which also prints the peer benchmarks' ratios after the table: kivo's
// throughput as a share of expat's events-only parse and of pugixml's parse and write.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto rate = run.counters.find("bytes_per_second");
      if (rate != run.counters.end()) throughput_[run.benchmark_name()] = rate->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const char* preset : {"0", "1"}) {
      const double kivo_parse = rate("BM_PeerParseKivo", preset);
      const double expat = rate("BM_PeerParseExpatEvents", preset);
      const double pugi_parse = rate("BM_PeerParsePugixml", preset);
      const double kivo_write = rate("BM_PeerWriteKivo", preset);
      const double pugi_write = rate("BM_PeerWritePugixml", preset);
      if (kivo_parse <= 0 || expat <= 0 || pugi_parse <= 0 || kivo_write <= 0 || pugi_write <= 0) {
        continue;
      }
      std::printf(
          "%s: parse %.0f MB/s = %.0f %% of expat events (%.0f MB/s), %.2fx below pugixml "
          "(%.0f MB/s); write %.0f MB/s, %.2fx below pugixml (%.0f MB/s)\n",
          preset[0] == '0' ? "bundled template" : "four times its size", kivo_parse / 1e6,
          100 * kivo_parse / expat, expat / 1e6, pugi_parse / kivo_parse, pugi_parse / 1e6,
          kivo_write / 1e6, pugi_write / kivo_write, pugi_write / 1e6);
    }
  }

 private:
  double rate(const std::string& name, const char* preset) const {
    const auto found = throughput_.find(name + "/" + preset);
    return found == throughput_.end() ? 0 : found->second;
  }

  std::map<std::string, double> throughput_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
