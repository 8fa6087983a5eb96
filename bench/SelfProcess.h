#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

extern char** environ;

// Runs this benchmark's own program again with the given arguments (the first is its name) and
// returns what it wrote to standard output; nothing when it could not start or did not exit with 0.
// A measurement made there starts from a fresh process: no memory or caches of the runs before.
inline std::optional<std::string> outputOfSelf(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (auto& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  if (pipe(out) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  pid_t pid = 0;
  int failed = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; !failed && (n = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, std::size_t(n));
  close(out[0]);
  int status = 0;
  if (failed || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;
  return text;
}
