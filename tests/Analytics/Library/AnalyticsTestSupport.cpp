#include "AnalyticsTestSupport.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "Analytics/Library/MAI.h"
#include "Foundation/RunLoop.h"
#include "Foundation/String.h"

extern char** environ;

namespace analyticstest {

void resetFacade() {
  // Hits on their way to the store are stored first: the file goes only when nothing writes it.
  auto loop = ns::RunLoop::currentRunLoop();
  for (int quiet = 0; quiet < 5;) quiet = loop->runOnce(0.02) ? 0 : quiet + 1;
  MAI::sharedInstance()->reset();
  if (auto path = MAI::dataStorePath()) {
    std::filesystem::remove(*path);
    std::filesystem::remove(*path + "-journal");
  }
}

std::vector<std::string> bodyPieces(const std::string& body) {
  return ns::componentsSeparatedByString(body, "&");
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment) {
  int out[2];
  if (pipe(out) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<std::string> args{program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = environment;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) pid_ = pid;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  fd_ = out[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    ::kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
  }
  if (fd_ >= 0) close(fd_);
}

ChildProcess::Read ChildProcess::readSome(double timeoutSeconds) {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(timeoutSeconds * 1000) + 1) <= 0) return Read::timedOut;
  char buffer[4096];
  ssize_t n = read(fd_, buffer, sizeof buffer);
  if (n <= 0) return Read::ended;
  output_.append(buffer, static_cast<std::size_t>(n));
  return Read::data;
}

bool ChildProcess::waitForOutput(const std::string& text, double timeoutSeconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  while (output_.find(text) == std::string::npos) {
    double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0 || readSome(left) != Read::data) return output_.find(text) != std::string::npos;
  }
  return true;
}

bool ChildProcess::waitForExit(double timeoutSeconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  for (;;) {
    double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    Read read = readSome(left);
    if (read == Read::timedOut) return false;
    if (read == Read::ended) break;
  }
  reaped_ = waitpid(pid_, &status_, 0) == pid_;
  return reaped_;
}

void ChildProcess::kill(int signal) {
  if (pid_ > 0 && !reaped_) ::kill(pid_, signal);
}

}  // namespace analyticstest
