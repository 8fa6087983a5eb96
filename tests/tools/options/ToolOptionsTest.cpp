#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/TempDir.h"

namespace {

struct Outcome {
  int exitCode = -1;
  std::string out, err;
};

std::string contents(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the command line in `folder` with no input; what it prints goes elsewhere.
Outcome run(const std::string& commandLine, const std::string& folder) {
  testsupport::TempDir streams;
  std::string out = streams.file("stdout"), err = streams.file("stderr");
  std::string shell = "cd '" + folder + "' && " + commandLine + " >'" + out + "' 2>'" + err + "' </dev/null";
  int status = std::system(shell.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, contents(out), contents(err)};
}

// Every program under tools/ answers --help with its usage, and refuses an option it does not
// know with a message naming it and a failing exit, without acting on it (no folder named after it).
TEST(ToolOptionsTest, EveryToolAnswersHelpAndRefusesUnknownOptions) {
  const std::string tools = TOOLS_DIR;
  struct Tool {
    const char* name;
    std::string command;
  } cases[] = {
      {"render-views", RENDER_VIEWS},
      {"placeholder-resources", PLACEHOLDER_RESOURCES},
      {"sample-service", SAMPLE_SERVICE},
      {"social-peers", SOCIAL_PEERS},
      {"run-tests", tools + "/run-tests"},
      {"run-fuzzers", tools + "/run-fuzzers"},
      {"run-sample-service", tools + "/run-sample-service"},
      {"run-client", tools + "/run-client"},
      {"setup-deps", tools + "/setup-deps"},
      {"make-catalogue.py", "python3 " + tools + "/sample-service/data/make-catalogue.py"},
  };
  for (const auto& tool : cases) {
    SCOPED_TRACE(tool.name);
    testsupport::TempDir folder;
    Outcome help = run(tool.command + " --help", folder.str());
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_EQ(help.out.rfind("usage: ", 0), 0u) << help.out;
    Outcome refused = run(tool.command + " --no-such-option", folder.str());
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_NE(refused.err.find("--no-such-option"), std::string::npos) << refused.err;
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
  }
}

}  // namespace
