// The main of every test program. Each case runs in a scratch directory of
// its own, made fresh before it starts and removed after it passes (kept,
// with its path printed, when it fails), so that ctest can run the cases of
// one program side by side. A case started without the environment that
// tests/CMakeLists.txt gives every case fails at once: that is how a lost
// property shows up instead of cases silently sharing a directory.
// A death test's child process (gtest re-runs the program for it, with the
// listeners switched off) starts in the case's directory too.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "tests/support/portable.h"

namespace fs = std::filesystem;

namespace {

// Every variable the harness sets for a case; the scratch root comes first.
const char* const kRequiredEnvironment[] = {"LUMEN_TEST_SCRATCH", "LUMEN_SHOW_DATA_DIR", "LUMEN_BINARY_DIR"};
// The running case's directory, for the death-test children it starts.
const char* const kCaseDirectory = "LUMEN_TEST_CASE_DIR";

class ScratchDirectories : public ::testing::EmptyTestEventListener {
 public:
  explicit ScratchDirectories(fs::path root) : root_(std::move(root)) {}

  void OnTestStart(const ::testing::TestInfo& info) override {
    std::string name = std::string(info.test_suite_name()) + "." + info.name();
    std::replace(name.begin(), name.end(), '/', '_');   // parameterised cases
    dir_ = root_ / name;
    std::error_code ec;
    fs::remove_all(dir_, ec);   // left by a case that failed earlier
    if (!fs::create_directories(dir_, ec) || ec) {
      std::fprintf(stderr, "test harness: cannot make scratch directory %s\n", dir_.string().c_str());
      std::exit(1);
    }
    fs::current_path(dir_);
    SetTestEnvironment(kCaseDirectory, dir_.string().c_str());
  }

  void OnTestEnd(const ::testing::TestInfo& info) override {
    fs::current_path(root_);
    if (info.result()->Failed()) {
      std::fprintf(stderr, "test harness: scratch directory kept: %s\n", dir_.string().c_str());
      return;
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

 private:
  fs::path root_;
  fs::path dir_;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!::testing::GTEST_FLAG(internal_run_death_test).empty()) {   // a death test's child
    const char* dir = std::getenv(kCaseDirectory);
    if (dir == nullptr || chdir(dir) != 0) {
      std::fprintf(stderr, "test harness: death test started outside its case's directory\n");
      return 1;
    }
    return RUN_ALL_TESTS();
  }
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();   // ctest's discovery step
  for (const char* name : kRequiredEnvironment) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
      std::fprintf(stderr, "test harness: %s is not set; run the cases through ctest\n", name);
      return 1;
    }
  }
  std::error_code ec;
  const fs::path root = fs::absolute(std::getenv("LUMEN_TEST_SCRATCH"), ec);
  fs::create_directories(root, ec);
  ::testing::UnitTest::GetInstance()->listeners().Append(new ScratchDirectories(root));
  return RUN_ALL_TESTS();
}
