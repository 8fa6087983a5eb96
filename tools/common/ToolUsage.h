#pragma once

// Command-line handling shared by the tools: "--help" prints the usage, an unknown option is
// refused with a message instead of being taken for a file or a name.
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace toolusage {

// The program as it was called, without its folder.
inline std::string programName(const char* argv0) {
  std::string_view program = argv0 ? argv0 : "tool";
  if (auto slash = program.rfind('/'); slash != std::string_view::npos) program.remove_prefix(slash + 1);
  return std::string(program);
}

// "usage: <program> <arguments>".
inline std::string usageLine(const char* argv0, std::string_view arguments) {
  std::string line = "usage: ";
  line += programName(argv0);
  if (!arguments.empty()) (line += ' ') += arguments;
  line += '\n';
  return line;
}

// Looks through the arguments before any "--". For "--help" or "-h" prints the usage to stdout and
// gives 0; for any other argument that starts with "-" and is not one of `options` (each of which
// takes a value) reports it and the usage on stderr and gives 2; otherwise nullopt.
inline std::optional<int> checkArguments(int argc, char** argv, std::string_view arguments,
                                         std::initializer_list<std::string_view> options = {}) {
  const char* argv0 = argc > 0 ? argv[0] : nullptr;
  const std::string usage = usageLine(argv0, arguments);
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      std::fputs(usage.c_str(), stdout);
      return 0;
    }
    if (arg.size() < 2 || arg.front() != '-') continue;
    bool known = false;
    for (std::string_view option : options) known = known || arg == option;
    if (known) {
      ++i;  // its value, which may itself start with "-"
      continue;
    }
    std::fprintf(stderr, "%s: unknown option %s\n", programName(argv0).c_str(), argv[i]);
    std::fputs(usage.c_str(), stderr);
    return 2;
  }
  return std::nullopt;
}

}  // namespace toolusage
