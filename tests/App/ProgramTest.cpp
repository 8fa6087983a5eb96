#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <fstream>
#include <string>
#include <vector>

#include "ClientTestSupport.h"
#include "Graphics/Image.h"
#include "support/TempDir.h"

namespace {

struct ProgramRun {
  int exitCode = -1;
  std::string output;  // standard output and error together
};

// Runs the built vcc with the arguments (plain words, no quoting needed) in a fresh data folder.
ProgramRun runProgram(const std::vector<std::string>& arguments) {
  std::string command = VCC_PROGRAM;
  for (const auto& arg : arguments) command += " '" + arg + "'";
  command += " 2>&1";
  ProgramRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

class ProgramTest : public testsupport::SampleServiceSuite {
 protected:
  std::vector<std::string> headless(const std::string& host) const {
    return {"--headless", "--host", host, "--data", data_.str(), "--out", out_.str()};
  }
  testsupport::TempDir data_;
  testsupport::TempDir out_;
};

TEST_F(ProgramTest, HeadlessRunsWriteTheDumpAndAScreenshotOfTheProfilesPixelSize) {
  struct Case {
    const char* device;
    int width, height;
  };
  for (const Case& c :
       {Case{"tablet", 768, 1024}, Case{"tablet-landscape", 1024, 768}, Case{"phone", 640, 960}}) {
    auto args = headless(server_->hostAndPort());
    args.insert(args.end(), {"--device", c.device});
    ProgramRun run = runProgram(args);
    ASSERT_EQ(0, run.exitCode) << c.device << ": " << run.output;
    std::string stem = out_.file(std::string(c.device) + "-home");
    EXPECT_EQ(0u, testsupport::readText(stem + ".txt").rfind("Window frame=", 0)) << c.device;
    auto picture = cg::Image::fromFile(stem + ".png");
    ASSERT_TRUE(picture) << c.device;
    EXPECT_EQ(c.width, picture->pixelWidth()) << c.device;
    EXPECT_EQ(c.height, picture->pixelHeight()) << c.device;
  }
}

TEST_F(ProgramTest, FailuresExitWithAClearMessage) {
  sampleservice::Server gone;
  gone.start();
  const std::string goneHost = gone.hostAndPort();
  gone.stop();
  testsupport::TempDir scripts;
  std::ofstream(scripts.file("fly.vcc")) << "# steps\nshot home\nfly away\n";
  std::ofstream(scripts.file("tablet.vcc")) << "# for the tablet\ndevices tablet tablet-landscape\nwait\n";
  std::ofstream(scripts.file("menu.vcc")) << "devices tablet\nwait\n\ntap Button \"Навигация\"\n";
  // A service that answers too slowly for the time limit.
  sampleservice::Override slowReply;
  slowReply.delaySeconds = 30;
  server_->setOverride("/api/mobile", "get_categories", slowReply);

  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    std::string message;
  };
  auto slow = headless(server_->hostAndPort());
  slow.insert(slow.end(), {"--time-limit", "1"});
  for (const Case& c : {
           Case{headless(goneHost), 1, "vcc: the service at http://" + goneHost + " cannot be reached"},
           Case{slow, 1, "vcc: the home page did not settle within 1 s"},
           Case{{"--fast"}, 2, "vcc: unknown option --fast\nusage: vcc"},
           Case{{"--device", "watch"}, 2, "vcc: unknown device watch"},
           Case{{"--script", scripts.file("fly.vcc")},
                2,
                "vcc: " + scripts.file("fly.vcc") + ":3: unknown step fly"},
           Case{{"--script", scripts.file("none.vcc")}, 2, "vcc: cannot read the script"},
           // A script stops at once on a device it is not written for.
           Case{{"--script", scripts.file("tablet.vcc"), "--device", "phone"},
                2,
                "vcc: " + scripts.file("tablet.vcc") +
                    ":2: the script is written for tablet, tablet-landscape, not for phone"},
           // A step that fails for want of the service says so, with the script's file and line.
           Case{[&] {
                  auto args = headless(goneHost);
                  args.insert(args.end(), {"--script", scripts.file("menu.vcc")});
                  return args;
                }(),
                1,
                "vcc: " + scripts.file("menu.vcc") +
                    ":4: tap Button \"Навигация\": no such view in the alert"},
           Case{[&] {
                  auto args = headless(goneHost);
                  args.insert(args.end(), {"--script", scripts.file("menu.vcc")});
                  return args;
                }(),
                1, "the service at http://" + goneHost + " cannot be reached"},
       }) {
    ProgramRun run = runProgram(c.arguments);
    EXPECT_EQ(c.exitCode, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.message)) << run.output;
  }
  // The failed step left a picture of the screen as it was, and said where.
  const std::string failed = out_.file("tablet-failed");
  EXPECT_NE(std::string::npos, testsupport::readText(failed + ".txt").find("AlertView frame="));
  EXPECT_TRUE(cg::Image::fromFile(failed + ".png"));
}

}  // namespace
