#include "App/ClientProgram.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "Classes/TLSettings.h"
#include "UIKit/ApplicationMain.h"

namespace {

void printUsage(FILE* to) { std::fprintf(to, "usage: vcc %s", ClientOptions::usage().c_str()); }

}  // namespace

ClientProgram::~ClientProgram() {
  ui::setApplicationHost(nullptr);
  for (auto it = previousEnvironment_.rbegin(); it != previousEnvironment_.rend(); ++it) {
    if (it->second)
      ::setenv(it->first.c_str(), it->second->c_str(), 1);
    else
      ::unsetenv(it->first.c_str());
  }
  if (previousProfile_) ui::Device::setProfile(*previousProfile_);
}

void ClientProgram::setEnvironment(const char* name, const std::string& value) {
  const char* old = std::getenv(name);
  previousEnvironment_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  ::setenv(name, value.c_str(), 1);
}

std::optional<int> ClientProgram::configure(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return configure(arguments);
}

std::optional<int> ClientProgram::configure(const std::vector<std::string>& arguments) {
  for (const std::string& arg : arguments) {
    if (arg == "--help" || arg == "-h") {
      printUsage(stdout);
      return 0;
    }
  }
  std::string error;
  if (!ClientOptions::parse(arguments, options_, error)) {
    std::fprintf(stderr, "vcc: %s\n", error.c_str());
    printUsage(stderr);
    return 2;
  }

  std::vector<ScriptStep> steps;
  if (options_.scriptPath) {
    std::ifstream in(*options_.scriptPath, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "vcc: cannot read the script %s\n", options_.scriptPath->c_str());
      return 2;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (!parseScript(text.str(), steps, error)) {
      std::fprintf(stderr, "vcc: %s:%s\n", options_.scriptPath->c_str(), error.c_str());
      return 2;
    }
  } else {
    ScriptStep shot;
    shot.kind = ScriptStep::Kind::shot;
    shot.argument = "home";
    steps.push_back(shot);
  }

  previousProfile_ = ui::Device::setProfile(options_.device);
  if (options_.serviceHost) setEnvironment("VCC_SERVICE_HOST", *options_.serviceHost);
  if (options_.dataFolder) setEnvironment("VCC_SANDBOX_ROOT", *options_.dataFolder);
  if (options_.collectURL) setEnvironment("VCC_COLLECT_URL", *options_.collectURL);

  const bool headless = options_.runsHeadless();
  ClientSession::Settings settings;
  settings.outFolder = options_.outFolder;
  settings.shotPrefix = options_.deviceName + "-";
  settings.timeLimitSeconds = options_.timeLimitSeconds;
  settings.orientation = options_.orientation;
  settings.serviceHost = TLSettings::serviceHost();
  settings.skipTime = headless;
  settings.exitWhenDone = headless;
  settings.requireHomeLoaded = headless && !options_.scriptPath;
  // A window without a script only shows the client.
  if (headless || options_.scriptPath) session_ = std::make_shared<ClientSession>(settings, std::move(steps));
  if (headless) {
    host_ = session_;
  } else {
    window_ = makeWindowHost(options_, session_, error);
    host_ = window_;
    if (!host_) {
      std::fprintf(stderr, "vcc: %s\n", error.c_str());
      return 1;
    }
  }
  ui::setApplicationHost(host_);
  return std::nullopt;
}
