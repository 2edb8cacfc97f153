// A case directory built from the input, replayed: no crash, no hang, and every refusal is one
// of the replay's documented errors. The input holds case.json, source_before.xml and
// target_before.xml, separated by kPartSeparator; the directory also holds the bundled
// template as template.xml, so a case can name a realistic preset.
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "kivo/stress/replay.hpp"

namespace {

using kivo::fuzz::demand;
namespace fs = std::filesystem;

constexpr std::string_view kPartSeparator = "\n=====\n";

constexpr std::array<std::string_view, 11> kDocumentedErrors = {
    "failed to read case file ",
    "failed to parse case file ",
    "Replay case path has no parent directory.",
    "Replay case names preset file '",
    "Failed to parse ",
    "Replay case contains empty operation trace.",
    "Replay diverged at step ",
    "Replay failed early at step ",
    "Replay reached failing step ",
    "Replay failure message changed. expected fragment='",
    "Replay completed without reaching failing step ",
};

void write_file(const fs::path& path, std::string_view content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  demand(file.good(), "the case directory is writable", path.string());
}

// A directory of this process, holding the template; removed at exit.
const fs::path& case_directory() {
  static const fs::path directory = [] {
    std::string pattern = (fs::temp_directory_path() / "kivo_fuzz_replay_XXXXXX").string();
    demand(::mkdtemp(pattern.data()) != nullptr, "a case directory can be made");
    fs::copy_file(KIVO_TEMPLATE_PATH, fs::path(pattern) / "template.xml");
    std::atexit([] { fs::remove_all(case_directory()); });
    return fs::path(pattern);
  }();
  return directory;
}

// The next part of `rest` up to the separator (or its end).
std::string_view next_part(std::string_view& rest) {
  const auto end = rest.find(kPartSeparator);
  const std::string_view part = rest.substr(0, end);
  rest =
      end == std::string_view::npos ? std::string_view() : rest.substr(end + kPartSeparator.size());
  return part;
}

bool is_documented(const std::string& message) {
  for (std::string_view known : kDocumentedErrors) {
    if (message.starts_with(known)) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const fs::path& directory = case_directory();
  write_file(directory / "case.json", next_part(rest));
  write_file(directory / "source_before.xml", next_part(rest));
  write_file(directory / "target_before.xml", next_part(rest));

  auto result = kivo::stress::replay::replay_case(directory / "case.json");
  if (!result) {
    demand(is_documented(result.error().message()), "only documented replay errors",
           result.error().display_chain());
    return 0;
  }
  demand(result->reproduced, "a returned result is a reproduction");
  demand(result->compared_steps == result->step + 1, "compared steps are step + 1");
  return 0;
}
