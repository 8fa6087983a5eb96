#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "App/ClientOptions.h"
#include "App/ClientSession.h"
#include "UIKit/Device.h"

// The client as a program: reads its options and readies the process for the application's main
// (device profile, service host, sandbox folder, analytics collection URL, and the host that runs
// it headless, scripted or in a window). What it changed is put back when it is destroyed, so a
// test can run the program in-process more than once.
class ClientProgram {
 public:
  ClientProgram() = default;
  ~ClientProgram();
  ClientProgram(const ClientProgram&) = delete;
  ClientProgram& operator=(const ClientProgram&) = delete;

  // Nothing when the application should run; otherwise the exit code (0 after --help, 2 with a
  // message on standard error for bad options or a bad script).
  std::optional<int> configure(int argc, char** argv);
  std::optional<int> configure(const std::vector<std::string>& arguments);

  const ClientOptions& options() const { return options_; }
  // The headless or scripted session, when there is one.
  const std::shared_ptr<ClientSession>& session() const { return session_; }

 private:
  void setEnvironment(const char* name, const std::string& value);

  ClientOptions options_;
  std::shared_ptr<ClientSession> session_;
  std::shared_ptr<ui::ApplicationHost> host_;
  std::optional<ui::DeviceProfile> previousProfile_;
  std::vector<std::pair<std::string, std::optional<std::string>>> previousEnvironment_;
};

// The desktop window host (SDL); it drives the session's steps as well when there is a script.
// Null, with the reason in `error`, when no window can be opened.
std::shared_ptr<ui::ApplicationHost> makeWindowHost(const ClientOptions& options,
                                                    std::shared_ptr<ClientSession> session,
                                                    std::string& error);
