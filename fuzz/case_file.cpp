// The strict case reader on arbitrary bytes: whatever it loads must write back and re-load to
// the same case, and the written text must be the writer's fixed point.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.hpp"
#include "kivo/stress/artifacts.hpp"

using kivo::fuzz::demand;
namespace artifacts = kivo::stress::artifacts;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto loaded = artifacts::from_json_text(text);
  if (!loaded) {
    demand(!loaded.error().message().empty(), "a refused case says why");
    return 0;
  }
  auto written = artifacts::to_json_text(*loaded);
  demand(written.has_value(), "a loaded case writes",
         written ? "" : written.error().display_chain());
  auto reloaded = artifacts::from_json_text(*written);
  demand(reloaded.has_value(), "a written case loads",
         *written + "\n" + (reloaded ? "" : reloaded.error().display_chain()));
  demand(*reloaded == *loaded, "a written case loads as the same case", *written);
  auto rewritten = artifacts::to_json_text(*reloaded);
  demand(rewritten.has_value() && *rewritten == *written, "the written text is stable", *written);
  return 0;
}
