#pragma once

#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "kivo/stress/cli.hpp"
#include "support/presets.hpp"
#include "support/temp_dir.hpp"

// Runs of the program in this process, and the text forms tests compare them by.
namespace kivo::test {

using Args = std::vector<std::string>;

// Three documents of the bare-screen template, one pair of two slots.
inline Args mixed_args(const TempDir& dir, const Args& extra, bool with_name = true) {
  Args args = {"--template",     dir.write("mixed.xml", kBareScreenTemplate).string(),
               "--out-dir",      (dir.path() / "out").string(),
               "--docs",         "3",
               "--pairs",        "1",
               "--ops-per-pair", "2"};
  if (with_name) args.insert(args.begin(), "kivo_stress");
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

struct Output {
  int status = -1;
  std::string err;
};

inline Output program(const Args& args) {
  std::ostringstream err;
  const int status = kivo::stress::program_main(args, err, {});
  return {status, err.str()};
}

// `text` with what follows each `key`, up to the next `stop` character, replaced by "<x>".
inline std::string blank_after(std::string text, const std::string& key, char stop) {
  for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
    const auto from = at + key.size();
    const auto to = text.find(stop, from);
    if (to == std::string::npos) break;
    text.replace(from, to - from, "<x>");
  }
  return text;
}

inline std::string without_elapsed(const std::string& text) {
  return blank_after(text, "elapsed=", 's');
}

// `text` without what differs from run to run: times and case directory names.
inline std::string steady(const std::string& text) {
  static const std::regex slowest("slowest=[0-9.]+ms");
  return std::regex_replace(blank_after(without_elapsed(text), "Artifacts: ", '\n'), slowest,
                            "slowest=<x>ms");
}

// The decimal number right after the first `key` in `text`, or nothing.
inline std::optional<std::uint64_t> number_after(const std::string& text, const std::string& key) {
  const auto at = text.find(key);
  if (at == std::string::npos) return std::nullopt;
  const auto from = at + key.size();
  const auto to = text.find_first_not_of("0123456789", from);
  if (to == from) return std::nullopt;
  return std::stoull(text.substr(from, to - from));
}

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace kivo::test
