#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "SampleServer.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

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
      {"make-clips", MAKE_CLIPS},
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

// Each option a tool's --help lists says what it does and what holds without it: its line, with
// the lines that carry it on, names a default.
TEST(ToolOptionsTest, EveryOptionOfAToolsHelpSaysItsDefault) {
  const std::string tools = TOOLS_DIR;
  struct Tool {
    const char* name;
    std::string command;
    std::vector<std::string> options;
  } cases[] = {
      {"vcc",
       VCC,
       {"--device", "--host", "--data", "--collect-url", "--headless", "--window", "--script", "--out",
        "--time-limit", "--scale"}},
      {"run-client",
       tools + "/run-client",
       {"--device", "--out", "--headless", "--window", "--script", "--data", "--time-limit", "--scale",
        "VCC_SERVICE_HOST", "VCC_COLLECT_URL"}},
      {"sample-service", SAMPLE_SERVICE, {"--port", "--bind", "--data"}},
      {"run-sample-service", tools + "/run-sample-service", {"--port", "--bind", "--data"}},
      {"social-peers", SOCIAL_PEERS, {"--facebook-port", "--vkontakte-port"}},
      {"run-tests", tools + "/run-tests", {"PRESET"}},
  };
  for (const auto& tool : cases) {
    testsupport::TempDir folder;
    Outcome help = run(tool.command + " --help", folder.str());
    for (const std::string& option : tool.options) {
      SCOPED_TRACE(std::string(tool.name) + " " + option);
      std::istringstream lines(help.out);
      std::string line, said;
      std::size_t indent = 0;
      while (std::getline(lines, line)) {
        auto first = line.find_first_not_of(' ');
        if (said.empty()) {
          if (first == 0 || first == std::string::npos || line.compare(first, option.size(), option) != 0)
            continue;
          indent = first;
        } else if (first == std::string::npos || first <= indent) {
          break;
        }
        said += line + "\n";
      }
      ASSERT_FALSE(said.empty()) << help.out;
      EXPECT_NE(said.find("default"), std::string::npos) << said;
    }
  }
}

// A bad value of any option is refused as the client would refuse it, before anything is built or
// started; a good one passes on to the next argument (here an unknown option, so nothing runs).
TEST(ToolOptionsTest, RunClientRefusesABadValueBeforeStartingAnything) {
  const std::string scale = "--scale wants a factor from 0.25 to 4, not ",
                    seconds = "--time-limit wants a number of seconds above 0, not ";
  struct Case {
    std::string option, value;
    std::string refusal;  // empty: accepted
  };
  const Case cases[] = {
      {"--scale", "0.75", ""},
      {"--scale", ".5", ""},
      {"--scale", "0.25", ""},
      {"--scale", "4", ""},
      {"--scale", "1e0", ""},
      {"--scale", "0.2", scale + "0.2"},
      {"--scale", "4.5", scale + "4.5"},
      {"--scale", "0", scale + "0"},
      {"--scale", "-1", scale + "-1"},
      {"--scale", "x", scale + "x"},
      {"--scale", "0,75", scale + "0,75"},
      {"--scale", "nan", scale + "nan"},
      {"--time-limit", "600", ""},
      {"--time-limit", "0.5", ""},
      {"--time-limit", "0", seconds + "0"},
      {"--time-limit", "-5", seconds + "-5"},
      {"--time-limit", "ten", seconds + "ten"},
      {"--time-limit", "1e999", seconds + "1e999"},
      {"--device", "phone-4in", ""},
      {"--device", "tablet-landscape", ""},
      {"--device", "ipad", "unknown device ipad (tablet, tablet-landscape, phone, phone-4in)"},
      {"--device", "Phone", "unknown device Phone (tablet, tablet-landscape, phone, phone-4in)"},
      {"--out", "", "--out needs a value"},
      {"--data", "", "--data needs a value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option + " '" + c.value + "'");
    testsupport::TempDir folder;
    Outcome outcome =
        run(std::string(TOOLS_DIR) + "/run-client " + c.option + " '" + c.value + "' --no-such-option",
            folder.str());
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_EQ(outcome.out, "");
    if (c.refusal.empty())
      EXPECT_EQ(outcome.err.rfind("run-client: unknown option or argument: --no-such-option", 0), 0u)
          << outcome.err;
    else
      EXPECT_EQ(outcome.err, "run-client: " + c.refusal + "\n");
  }
}

void writeProgram(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
  fs::permissions(path, fs::perms::owner_all);
}

// run-client in a checkout of its own whose build is done: cmake and setup-deps do nothing, the
// client and the peers are the built ones, and the sample service notes each start in a file
// before it runs.
class RunClientCheckout {
 public:
  RunClientCheckout() {
    const fs::path root = checkout_.path(), built = root / "build/default";
    fs::create_directories(root / "tools/common");
    fs::copy_file(fs::path(TOOLS_DIR) / "run-client", root / "tools/run-client");
    fs::copy_file(fs::path(TOOLS_DIR) / "common/build-targets.sh", root / "tools/common/build-targets.sh");
    writeProgram(root / "tools/setup-deps", "#!/bin/sh\nexit 0\n");
    writeProgram(root / "bin/cmake", "#!/bin/sh\necho \"$@\" >> '" + builds() + "'\n");
    fs::create_directories(built / "App");
    fs::create_symlink(VCC, built / "App/vcc");
    fs::create_directories(built / "tools/social-peers");
    fs::create_symlink(SOCIAL_PEERS, built / "tools/social-peers/social-peers");
    writeProgram(built / "tools/sample-service/sample-service",
                 "#!/bin/sh\necho started >> '" + starts() + "'\nexec '" SAMPLE_SERVICE "' \"$@\"\n");
  }

  // Runs it headless with the environment's settings before it, for the tablet unless the
  // arguments say otherwise.
  Outcome run(const std::string& environment, const std::string& arguments = "--device tablet") {
    const fs::path root = checkout_.path();
    return ::run("env " + environment + " PATH='" + (root / "bin").string() +
                     "':\"$PATH\" VCC_SANDBOX_ROOT='" + sandbox_.str() + "' '" +
                     (root / "tools/run-client").string() + "' --headless " + arguments +
                     " --time-limit 600 --out '" + out() + "'",
                 folder_.str());
  }
  // run-client notes each build in this file, through the fake cmake.
  std::string builds() const { return checkout_.file("cmake-runs"); }

  std::string starts() const { return checkout_.file("sample-service-starts"); }
  std::string out() const { return folder_.file("out"); }

 private:
  testsupport::TempDir checkout_, sandbox_, folder_;
};

// VCC_SERVICE_HOST points the client at a service the caller runs, and then run-client starts no
// sample service of its own; without it the bundled one serves; a value that is no host[:port]
// is refused before anything starts.
TEST(ToolOptionsTest, RunClientUsesTheServiceVccServiceHostNamesAndStartsNoOtherThen) {
  sampleservice::Server service;
  service.start();
  struct Case {
    std::string environment;
    int exitCode;
    bool sampleServiceStarted, requestsToOurs;
  };
  const Case cases[] = {
      {"VCC_SERVICE_HOST='" + service.hostAndPort() + "'", 0, false, true},
      {"-u VCC_SERVICE_HOST", 0, true, false},
      {"VCC_SERVICE_HOST='127.0.0.1:99999'", 2, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.environment);
    std::size_t before = service.requestsFor("get_categories").size();
    RunClientCheckout checkout;
    Outcome outcome = checkout.run(c.environment);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.out << outcome.err;
    EXPECT_EQ(fs::exists(checkout.starts()), c.sampleServiceStarted);
    EXPECT_EQ(service.requestsFor("get_categories").size() > before, c.requestsToOurs);
    EXPECT_EQ(fs::exists(checkout.out() + "/tablet-home.png"), c.exitCode == 0) << outcome.err;
    if (c.requestsToOurs) {
      EXPECT_NE(outcome.out.find("run-client: the service at http://" + service.hostAndPort()),
                std::string::npos)
          << outcome.out;
    }
    if (c.exitCode == 2) {
      EXPECT_EQ(outcome.err, "run-client: VCC_SERVICE_HOST wants host[:port], not 127.0.0.1:99999\n");
    }
  }
}

// A device the script's devices line does not name stops the run at once, with the client's own
// message, before anything is built or started; a named one passes on (here to a step the client
// refuses on its second line).
TEST(ToolOptionsTest, RunClientRefusesADeviceTheScriptIsNotWrittenForBeforeBuilding) {
  struct Case {
    std::string devicesLine, arguments;
    const char* refusal;  // nullptr: passed on
  } cases[] = {
      {"devices phone", "--device tablet", "written for phone, not for tablet"},
      {"devices tablet tablet-landscape phone", "--device phone-4in",
       "written for tablet, tablet-landscape, phone, not for phone-4in"},
      {"devices tablet\r", "--device phone --device tablet", "written for tablet, not for phone"},
      {"devices tablet phone", "--device phone", nullptr},
      {"devices phone", "", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.devicesLine + " " + c.arguments);
    RunClientCheckout checkout;
    testsupport::TempDir scripts;
    std::string script = scripts.file("walk.vcc");
    std::ofstream(script) << c.devicesLine << "\nno-such-step\n";
    Outcome outcome = checkout.run("-u VCC_SERVICE_HOST", c.arguments + " --script '" + script + "'");
    EXPECT_EQ(outcome.exitCode, 2);
    if (c.refusal) {
      EXPECT_EQ(outcome.err,
                "run-client: " + script + ":1: the script is " + c.refusal + " (choose one with --device)\n");
      EXPECT_FALSE(fs::exists(checkout.builds()));
      EXPECT_FALSE(fs::exists(checkout.starts()));
    } else {
      EXPECT_NE(outcome.err.find("vcc: " + script + ":2: "), std::string::npos) << outcome.err;
      EXPECT_TRUE(fs::exists(checkout.builds()));
    }
  }
}

}  // namespace
