#include "App/ClientProgram.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Classes/TLSettings.h"
#include "NTNetworking/NTNetworkActivityIndicatorManager.h"
#include "UIKit/ApplicationMain.h"

namespace {

void printUsage(FILE* to) { std::fprintf(to, "usage: vcc %s", ClientOptions::usage().c_str()); }

}  // namespace

ClientProgram::~ClientProgram() {
  ui::setApplicationHost(nullptr);
  if (previousIndicatorEnabled_)
    NTNetworkActivityIndicatorManager::sharedManager()->setEnabled(*previousIndicatorEnabled_);
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

  Script script;
  if (options_.scriptPath) {
    const std::string& path = *options_.scriptPath;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "vcc: cannot read the script %s\n", path.c_str());
      return 2;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (!parseScript(text.str(), script, error)) {
      std::fprintf(stderr, "vcc: %s:%s\n", path.c_str(), error.c_str());
      return 2;
    }
    if (!script.devices.empty()) {
      const auto& named = script.devices;
      std::string list;
      for (const auto& name : named) list += (list.empty() ? "" : ", ") + name;
      if (!options_.deviceGiven) {
        ClientOptions::deviceFromName(named.front(), options_);
      } else if (std::find(named.begin(), named.end(), options_.deviceName) == named.end()) {
        std::fprintf(stderr,
                     "vcc: %s:%d: the script is written for %s, not for %s (choose one with --device)\n",
                     path.c_str(), script.devicesLine, list.c_str(), options_.deviceName.c_str());
        return 2;
      }
    }
    // Each script's pictures go into a folder of their own.
    if (!options_.outGiven)
      options_.outFolder = (std::filesystem::path("out") / std::filesystem::path(path).stem()).string();
  } else {
    ScriptStep shot;
    shot.kind = ScriptStep::Kind::shot;
    shot.argument = "home";
    script.steps.push_back(shot);
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
  if (options_.scriptPath) settings.scriptName = *options_.scriptPath;
  settings.skipTime = headless;
  settings.exitWhenDone = headless;
  settings.requireHomeLoaded = headless && !options_.scriptPath;
  // A window without a script only shows the client.
  if (headless || options_.scriptPath)
    session_ = std::make_shared<ClientSession>(settings, std::move(script.steps));
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
  // The status bar's network activity indicator follows the requests running.
  auto indicator = NTNetworkActivityIndicatorManager::sharedManager();
  previousIndicatorEnabled_ = indicator->isEnabled();
  indicator->setEnabled(true);
  ui::setApplicationHost(host_);
  return std::nullopt;
}
