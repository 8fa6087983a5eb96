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

// A bad window scale is refused as the client would refuse it, before anything is built or
// started; a good one passes on to the next argument (here an unknown option, so nothing runs).
TEST(ToolOptionsTest, RunClientRefusesABadScaleBeforeStartingAnything) {
  struct Case {
    const char* scale;
    bool accepted;
  };
  for (const Case& c : {Case{"0.75", true}, Case{".5", true}, Case{"0.25", true}, Case{"4", true},
                        Case{"1e0", true}, Case{"0.2", false}, Case{"4.5", false}, Case{"0", false},
                        Case{"-1", false}, Case{"x", false}, Case{"0,75", false}, Case{"nan", false}}) {
    SCOPED_TRACE(c.scale);
    testsupport::TempDir folder;
    Outcome outcome =
        run(std::string(TOOLS_DIR) + "/run-client --scale '" + c.scale + "' --no-such-option", folder.str());
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_EQ(outcome.out, "");
    const std::string refusal =
        std::string("run-client: --scale wants a factor from 0.25 to 4, not ") + c.scale;
    if (c.accepted)
      EXPECT_EQ(outcome.err.rfind("run-client: unknown option or argument: --no-such-option", 0), 0u)
          << outcome.err;
    else
      EXPECT_EQ(outcome.err, refusal + "\n");
  }
}

}  // namespace
