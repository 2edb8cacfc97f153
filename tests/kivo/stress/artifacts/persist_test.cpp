#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "kivo/stress/artifacts.hpp"
#include "support/presets.hpp"
#include "support/sample_artifact.hpp"
#include "support/temp_dir.hpp"

namespace kivo::stress::artifacts {
namespace {

namespace fs = std::filesystem;
using namespace kivo::test;

class CaseFiles : public ::testing::Test {
 protected:
  const TempDir dir_;
  const fs::path root_ = dir_.path() / "out";
  const FailureArtifact artifact_ = sample_artifact();
  const Element source_ = preset({el("Screen", {{"uniqueId", "1"}})});
  const Element target_ = preset({el("Screen", {{"uniqueId", "2"}})});
  const Element after_ = preset({el("Screen", {{"uniqueId", "3"}})});
};

std::uint64_t now_seconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

/// `base` extended by nested directory names to exactly `length` characters (not created).
fs::path path_of_length(const fs::path& base, std::size_t length) {
  std::string text = base.string();
  while (text.size() < length) {
    const std::size_t part = std::min<std::size_t>(200, length - text.size() - 1);
    text.append("/").append(part == 0 ? 1 : part, 'd');
  }
  return text;
}

TEST_F(CaseFiles, WritesTheFourFilesAndNeverReusesADirectory) {
  // Occupy the names of this second and the next, so the write must pick a suffixed name.
  const std::uint64_t before = now_seconds();
  for (std::uint64_t seconds : {before, before + 1}) {
    dir_.write("out/" + std::to_string(seconds) + "_42/case.json", "earlier");
  }
  auto dir = persist_failure_artifact(root_, artifact_, source_, target_, &after_);
  auto again = persist_failure_artifact(root_, artifact_, source_, target_, &after_);
  ASSERT_TRUE(dir && again);
  EXPECT_NE(*dir, *again);
  EXPECT_EQ(dir->parent_path(), root_);
  const std::string name = dir->filename().string();
  const std::uint64_t seconds = std::stoull(name);
  EXPECT_TRUE(seconds >= before && seconds <= now_seconds()) << name;
  EXPECT_EQ(name, std::to_string(seconds) + "_42_1");
  EXPECT_EQ(read_whole_file(*dir / "case.json"), *to_json_text(artifact_));
  EXPECT_EQ(read_whole_file(*dir / "source_before.xml"), written(source_));
  EXPECT_EQ(read_whole_file(*dir / "target_before.xml"), written(target_));
  EXPECT_EQ(read_whole_file(*dir / "target_after.xml"), written(after_));
  for (std::uint64_t seconds : {before, before + 1}) {
    EXPECT_EQ(read_whole_file(root_ / (std::to_string(seconds) + "_42") / "case.json"), "earlier");
  }

  // Missing directories are made; without a target after the copy no such file is written,
  // whatever the case names.
  FailureArtifact named = artifact_;
  named.target_after_file = "target_after.xml";
  auto bare = persist_failure_artifact(root_ / "a" / "b", named, source_, target_, nullptr);
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->parent_path(), root_ / "a" / "b");
  EXPECT_EQ(bare->filename(), std::to_string(std::stoull(bare->filename().string())) + "_42");
  EXPECT_TRUE(fs::exists(*bare / "target_before.xml"));
  EXPECT_FALSE(fs::exists(*bare / "target_after.xml"));
}

TEST_F(CaseFiles, WriteFailuresNameTheirStep) {
  const fs::path file = dir_.write("file", "x");
  const Element broken = preset({el("bad name")});
  // No context on a writer error: the writer's error itself, followed by its cause.
  const std::string writer =
      "XML write error: Element name \"bad name\" is not a valid XML name: Element name \"bad "
      "name\" is not a valid XML name";
  // Paths reach 4095 characters at most; the case name for the largest seed has 31.
  FailureArtifact largest = artifact_, unserializable = artifact_;
  largest.seed = 18446744073709551615ULL;
  unserializable.failure_message = "\xff";
  const fs::path no_room_for_dir = path_of_length(root_, 4080);
  const fs::path no_room_for_files = path_of_length(root_, 4055);
  const struct {
    fs::path out_dir;
    const FailureArtifact& artifact;
    const Element& source;
    const Element* after;
    std::string error;  // the whole text, or its start when it ends in ": "
  } cases[] = {
      {file, artifact_, source_, nullptr,
       "failed to create stress out dir " + file.string() + ": "},
      {root_, artifact_, broken, &after_, writer},
      {root_ / "later", artifact_, source_, &broken, writer},
      {no_room_for_dir, largest, source_, nullptr,
       "failed to create case dir " + no_room_for_dir.string() + "/"},
      {no_room_for_files, largest, source_, nullptr,
       "failed to write source_before.xml: File name too long (os error 36)"},
      {root_, unserializable, source_, nullptr, "failed to serialize failure case: "},
  };
  for (const auto& c : cases) {
    auto dir = persist_failure_artifact(c.out_dir, c.artifact, c.source, target_, c.after);
    ASSERT_FALSE(dir) << c.error;
    if (c.error.ends_with(": ") || c.error.ends_with("/")) {
      EXPECT_THAT(dir.error().display_chain(), ::testing::StartsWith(c.error));
      EXPECT_EQ(dir.error().chain().size(), 2u) << c.error;
    } else {
      EXPECT_EQ(dir.error().display_chain(), c.error);
    }
  }
  // What was written before the failure stays.
  const fs::path later = fs::directory_iterator(root_ / "later")->path();
  EXPECT_TRUE(fs::exists(later / "source_before.xml") && fs::exists(later / "target_before.xml"));
  EXPECT_FALSE(fs::exists(later / "target_after.xml") || fs::exists(later / "case.json"));
}

TEST_F(CaseFiles, UnreadableOrUnparsableCaseFilesNameTheFile) {
  const fs::path missing = root_ / "missing.json";
  const fs::path latin1 = dir_.write("out/latin1.json", "{\"failureMessage\": \"caf\xe9\"}");
  const fs::path empty = dir_.write("out/empty.json", "");
  const std::pair<fs::path, std::string> cases[] = {
      {missing,
       "failed to read case file " + missing.string() + ": No such file or directory (os error 2)"},
      {latin1, "failed to read case file " + latin1.string() + ": file is not valid UTF-8 text"},
      {empty, "failed to parse case file " + empty.string() + ": " +
                  from_json_text("").error().display_chain()},
  };
  for (const auto& [path, error] : cases) {
    auto loaded = load_failure_artifact(path);
    ASSERT_FALSE(loaded) << error;
    EXPECT_EQ(loaded.error().display_chain(), error);
  }
}

}  // namespace
}  // namespace kivo::stress::artifacts
