#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

std::string contents(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

// A checkout with a cmake on the path that only notes how it was called.
class BuildTargetsTest : public ::testing::Test {
 protected:
  // The checkout's build folder as configured from a few CMake files, an hour ago.
  void configured() {
    const fs::path root = checkout_.path();
    write(root / "CMakePresets.json", "{}");
    write(root / "CMakeLists.txt", "project(x)");
    write(root / "with space/part.cmake", "");
    write(root / "build/default/CMakeCache.txt", "");
    // As the generator lists them: absolute, or relative to the build folder, blanks escaped.
    write(root / "build/default/build.ninja",
          "rule RERUN_CMAKE\n  command = cmake\n"
          "build build.ninja: RERUN_CMAKE " +
              (root / "build/default/CMakeFiles/cmake.verify_globs").string() + " | " +
              (root / "CMakeLists.txt").string() + " " + root.string() +
              "/with$ space/part.cmake CMakeCache.txt\n");
    write(tools_.path() / "cmake", "#!/bin/sh\necho \"$*\" >> \"$CMAKE_CALLS\"\n");
    fs::permissions(tools_.path() / "cmake", fs::perms::owner_all);
    // The inputs were read before the build files were written.
    for (const char* input :
         {"CMakePresets.json", "CMakeLists.txt", "with space/part.cmake", "build/default/CMakeCache.txt"})
      age(input, std::chrono::hours(2));
    age("build/default/build.ninja", std::chrono::hours(1));
  }

  void age(const std::string& file, std::chrono::hours by) {
    fs::last_write_time(checkout_.path() / file, fs::file_time_type::clock::now() - by);
  }

  // The cmake calls of one build_targets, with the environment's settings before it.
  std::string build(const std::string& environment = "") {
    const std::string calls = tools_.file("calls");
    fs::remove(calls);
    std::string command = "cd '" + checkout_.str() + "' && " + environment + " CMAKE_CALLS='" + calls +
                          "' PATH='" + tools_.str() + "':\"$PATH\" bash -c '. " + TOOLS_DIR +
                          "/common/build-targets.sh && build_targets tool vcc' >/dev/null 2>&1";
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    return contents(calls);
  }

  testsupport::TempDir checkout_, tools_;
};

// Two runs from one checkout at once must not both configure: a run configures only a new build
// folder, or one whose CMake files changed since.
TEST_F(BuildTargetsTest, ConfiguresOnlyANewFolderOrOneWhoseCMakeFilesChanged) {
  struct Case {
    const char* name;
    const char* changed;  // made new, or nothing
    const char* removed;  // or nothing
    bool configures;
  };
  const Case cases[] = {
      {"nothing changed", "", "", false},
      {"a CMakeLists.txt changed", "CMakeLists.txt", "", true},
      {"a file in a folder with a blank changed", "with space/part.cmake", "", true},
      {"the build folder's cache changed", "build/default/CMakeCache.txt", "", true},
      {"the presets changed", "CMakePresets.json", "", true},
      {"a CMake file is gone", "", "with space/part.cmake", true},
      {"a new build folder", "", "build", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    configured();
    if (*c.changed) age(c.changed, std::chrono::hours(0));
    if (*c.removed) fs::remove_all(checkout_.path() / c.removed);
    const std::string calls = build();
    EXPECT_EQ(c.configures, calls.find("--preset default\n") != std::string::npos) << calls;
    EXPECT_NE(std::string::npos, calls.find("--build --preset default -j ")) << calls;
  }
}

TEST_F(BuildTargetsTest, BuildsWithTheJobsTheEnvironmentAsksFor) {
  configured();
  EXPECT_NE(std::string::npos, build("CMAKE_BUILD_PARALLEL_LEVEL=3").find("--build --preset default -j 3 "));
}

}  // namespace
