// A case directory appears whole or not at all: when the writer is killed at any moment, and when
// the disk fills up.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <chrono>
#include <cstdio>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/artifacts/file_io.hpp"
#include "support/presets.hpp"
#include "support/process.hpp"
#include "support/sample_artifact.hpp"
#include "support/temp_dir.hpp"

namespace kivo::stress::artifacts {
namespace {

namespace fs = std::filesystem;

// The bundled template's presets, so that writing a case takes a few milliseconds.
struct LargeCase {
  FailureArtifact artifact = kivo::test::sample_artifact();
  Element preset = kivo::test::load_template();
  std::string preset_text = *case_preset_text(preset, artifact.strict);
  std::string json = *to_json_text(artifact);

  Result<fs::path> write(const fs::path& out_dir) const {
    return persist_failure_artifact(out_dir, artifact, preset, preset, &preset);
  }
};

// Hidden directories are incomplete ones; every other one must be a whole case.
int count_whole_cases(const fs::path& out_dir, const LargeCase& written) {
  int cases = 0;
  for (const auto& entry : fs::directory_iterator(out_dir)) {
    if (entry.path().filename().string().starts_with(".")) continue;
    ++cases;
    for (const char* name :
         {"case.json", "source_before.xml", "target_before.xml", "target_after.xml"}) {
      auto text = read_text_file(entry.path() / name);
      const std::string& expected = name[0] == 'c' ? written.json : written.preset_text;
      EXPECT_TRUE(text && *text == expected) << entry.path() / name;
    }
  }
  return cases;
}

// Whether a whole case has appeared in `out_dir` before the deadline: a directory that is not
// hidden is whole as soon as it is there.
bool first_case_appears(const fs::path& out_dir) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(out_dir, missing)) {
      if (!entry.path().filename().string().starts_with(".")) return true;
    }
    ::usleep(1000);
  }
  return false;
}

TEST(WholeCases, AKillWhileWritingLeavesNoPartialCase) {
  const LargeCase large;
  kivo::test::TempDir out;
  std::uint64_t state = 0x9E3779B97F4A7C15ULL;
  int killed_mid_write = 0;
  for (int round = 0; round < 12; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      kivo::test::detach_as_group();
      for (int i = 0; i < 1000; ++i) (void)large.write(out.path());
      _exit(0);
    }
    // Once the writer is under way (however fast this build is), a kill at a random moment.
    EXPECT_TRUE(first_case_appears(out.path()));
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    ::usleep(static_cast<useconds_t>((state >> 33) % 20000));
    ::kill(child, SIGKILL);
    EXPECT_EQ(kivo::test::wait_status(child), -1) << "the writer ended before it was killed";
    EXPECT_GT(count_whole_cases(out.path(), large), 0);
    for (const auto& entry : fs::directory_iterator(out.path())) {
      killed_mid_write += entry.path().filename().string().starts_with(".incomplete_");
      fs::remove_all(entry.path());
    }
  }
  EXPECT_GT(killed_mid_write, 0) << "no kill landed while a case was being written";
}

// In the child, inside a mount namespace of its own: the exit status says what went wrong.
[[noreturn]] void write_onto_small_disk(const fs::path& mount_point, const LargeCase& large) {
  auto fail = [](int status, const std::string& why) {
    std::fprintf(stderr, "%s\n", why.c_str());
    _exit(status);
  };
  if (::unshare(CLONE_NEWNS) != 0 ||
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      ::mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=256k") != 0) {
    fail(10, "cannot mount a small tmpfs");
  }
  auto written = large.write(mount_point / "cases");
  if (written) fail(2, "three presets of the bundled template fitted into 256 KiB");
  const std::string error = written.error().display_chain();
  if (error.find("was removed: failed to write") == std::string::npos ||
      error.find("No space left on device (os error 28)") == std::string::npos) {
    fail(3, "unexpected error: " + error);
  }
  if (!fs::is_empty(mount_point / "cases")) fail(4, "something of the case was left behind");
  // Room is left for a case that fits.
  const Element small = kivo::test::parse_doc("<XmlState/>");
  if (!persist_failure_artifact(mount_point / "cases", large.artifact, small, small, &small)) {
    fail(5, "the small case was not written");
  }
  _exit(0);
}

TEST(WholeCases, AFullDiskLeavesNoPartialCase) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  const LargeCase large;
  kivo::test::TempDir mount_point;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    kivo::test::detach_as_group();
    write_onto_small_disk(mount_point.path(), large);
  }
  EXPECT_EQ(kivo::test::wait_status(child), 0);
}

}  // namespace
}  // namespace kivo::stress::artifacts
