// Draws view trees to PNG files so that people can look at them.
// Usage: render-views <output folder> [scene ...]   (no scene names: every scene)
#include <cstdio>
#include <filesystem>
#include <string>

#include "Scenes.h"
#include "ToolUsage.h"

namespace {
// The usage with the scene names.
std::string arguments() {
  std::string text = "<output folder> [scene ...]\nscenes:";
  for (const auto& s : scenes::all()) (text += ' ') += s.name;
  return text;
}
}  // namespace

int main(int argc, char** argv) {
  if (auto exitCode = toolusage::checkArguments(argc, argv, arguments())) return *exitCode;
  if (argc < 2) {
    std::fputs(toolusage::usageLine(argv[0], arguments()).c_str(), stderr);
    return 2;
  }
  std::filesystem::path dir(argv[1]);
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  std::vector<const scenes::Scene*> chosen;
  for (int i = 2; i < argc; ++i) {
    const scenes::Scene* s = scenes::find(argv[i]);
    if (!s) {
      std::fprintf(stderr, "render-views: no scene named %s\n", argv[i]);
      return 2;
    }
    chosen.push_back(s);
  }
  if (chosen.empty())
    for (const auto& s : scenes::all()) chosen.push_back(&s);
  int failures = 0;
  for (const scenes::Scene* s : chosen) {
    std::string path = (dir / (s->name + ".png")).string();
    if (scenes::renderScene(*s, path)) {
      std::printf("%s\n", path.c_str());
    } else {
      std::fprintf(stderr, "render-views: cannot render %s\n", s->name.c_str());
      ++failures;
    }
  }
  return failures ? 1 : 0;
}
