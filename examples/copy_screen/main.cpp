// copy_screen: copies one screen of a preset into another preset (or into the same one),
// validates the result and writes it to a file.
//
//   copy_screen <source.xml> <out.xml> [--screen <uniqueId>] [--into <target.xml>]
//
// Without --screen it copies the first screen of the source; without --into the target is the
// source itself, so the copy lands beside its original.
#include <kivo/merge.hpp>
#include <kivo/model.hpp>
#include <kivo/validation.hpp>
#include <kivo/xml_utils.hpp>

#include <expected>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Arguments {
  std::string source_path;
  std::string out_path;
  std::optional<std::string> screen_id;
  std::optional<std::string> target_path;
};

constexpr std::string_view kUsage =
    "usage: copy_screen <source.xml> <out.xml> [--screen <uniqueId>] [--into <target.xml>]\n";

std::optional<Arguments> parse_arguments(const std::vector<std::string>& args) {
  Arguments parsed;
  std::vector<std::string> positional;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const bool has_value = i + 1 < args.size();
    if (args[i] == "--screen" && has_value) {
      parsed.screen_id = args[++i];
    } else if (args[i] == "--into" && has_value) {
      parsed.target_path = args[++i];
    } else if (args[i].starts_with("--")) {
      return std::nullopt;
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) return std::nullopt;
  parsed.source_path = positional[0];
  parsed.out_path = positional[1];
  return parsed;
}

// Reads and parses the preset at `path`; the error names the file.
std::expected<kivo::Element, std::string> read_preset(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::unexpected("cannot open " + path);
  std::ostringstream text;
  text << in.rdbuf();
  auto root = kivo::xml_utils::parse(text.str());
  if (!root) return std::unexpected(path + ": " + root.error().message());
  return std::move(*root);
}

// The uniqueId of the first screen of the preset's screens list.
std::optional<std::string> first_screen_id(const kivo::Element& root) {
  const kivo::Element* setup = kivo::xml_utils::child(root, "ScreenSetup");
  const kivo::Element* screens = setup ? kivo::xml_utils::child(*setup, "screens") : nullptr;
  if (!screens) return std::nullopt;
  for (const kivo::XMLNode& node : screens->children) {
    const kivo::Element* screen = node.as_element();
    if (screen && screen->name == "Screen" && screen->attr("uniqueId")) {
      return *screen->attr("uniqueId");
    }
  }
  return std::nullopt;
}

int fail(const std::string& message) {
  std::cerr << "copy_screen: " << message << '\n';
  return 1;
}

// The screen to copy: the one asked for, else the source's first; it must exist in the source.
std::expected<std::string, std::string> choose_screen(const Arguments& args,
                                                      const kivo::Element& source) {
  const auto id = args.screen_id ? args.screen_id : first_screen_id(source);
  if (!id) return std::unexpected(args.source_path + " has no screen with a uniqueId");
  if (!kivo::merge::find_screen(source.children, *id)) {
    return std::unexpected("no screen with uniqueId '" + *id + "' in " + args.source_path);
  }
  return *id;
}

// Copies the screen to the end of the target's screens list (names and identifiers that clash
// are renamed and renumbered: "autoRenameRemap", the only policy there is), then validates.
std::expected<kivo::model::CopyResult, std::string> copy_screen(const kivo::Element& source,
                                                                kivo::Element& target,
                                                                const std::string& screen_id) {
  const kivo::model::CopyOperation request{
      {screen_id, std::nullopt, 0, kivo::model::NodeKind::Screen},
      "autoRenameRemap",
      std::nullopt,
      1};
  auto copied = kivo::merge::apply_copy(source, target, request);
  if (!copied) return std::unexpected("copy refused: " + copied.error().message());
  std::string problems;
  for (const std::string& problem : kivo::validation::validate_doc(target)) {
    problems += "\n  " + problem;
  }
  if (!problems.empty()) return std::unexpected("the result does not validate:" + problems);
  return std::move(*copied);
}

// Writes the preset as XML text; returns the number of bytes written.
std::expected<std::size_t, std::string> save(const kivo::Element& root, const std::string& path) {
  auto text = kivo::xml_utils::write_xml_string(root);
  if (!text) return std::unexpected("cannot write the result: " + text.error().description);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << *text;
  out.close();
  if (!out) return std::unexpected("cannot write " + path);
  return text->size();
}

void report(const Arguments& args, const kivo::Element& source, const std::string& screen_id,
            const kivo::model::CopyResult& copied, std::size_t bytes) {
  const kivo::Element* screen = kivo::merge::find_screen(source.children, screen_id);
  std::cout << "Copied screen '" << kivo::merge::get_screen_name(*screen) << "' (uniqueId "
            << screen_id << ") of " << args.source_path << " into "
            << args.target_path.value_or(args.source_path) << '\n';
  for (const std::string& message : copied.messages) std::cout << "  " << message << '\n';
  std::cout << "  renumbered " << copied.remap.unique_id_map.size() << " uniqueId and "
            << copied.remap.id_hash_map.size() << " idHash values\n";
  std::cout << "Valid; wrote " << args.out_path << " (" << bytes << " bytes)\n";
}

int run(const Arguments& args) {
  auto source = read_preset(args.source_path);
  if (!source) return fail(source.error());
  auto target = args.target_path ? read_preset(*args.target_path) : source;
  if (!target) return fail(target.error());
  auto screen_id = choose_screen(args, *source);
  if (!screen_id) return fail(screen_id.error());
  auto copied = copy_screen(*source, *target, *screen_id);
  if (!copied) return fail(copied.error());
  auto bytes = save(*target, args.out_path);
  if (!bytes) return fail(bytes.error());
  report(args, *source, *screen_id, *copied, *bytes);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const auto args = parse_arguments(std::vector<std::string>(argv, argv + argc));
  if (!args) {
    std::cerr << kUsage;
    return 2;
  }
  return run(*args);
}
