// Draws the application's image resources as stand-ins that show what they are (Pictures.cpp).
// Usage: placeholder-resources <output folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "Pictures.h"
#include "ToolUsage.h"

namespace {

bool write(const std::filesystem::path& path, const ns::Data& data) {
  if (data.length() == 0) return false;
  std::filesystem::path tmp = path;
  tmp += ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.bytes()), std::streamsize(data.length()));
    if (!out) return false;
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  return !ec;
}

}  // namespace

int main(int argc, char** argv) {
  if (auto exitCode = toolusage::checkArguments(argc, argv, "<output folder>")) return *exitCode;
  if (argc != 2) {
    std::fputs(toolusage::usageLine(argv[0], "<output folder>").c_str(), stderr);
    return 2;
  }
  std::filesystem::path dir(argv[1]);
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  int failures = 0;
  for (const placeholders::Resource& r : placeholders::resources()) {
    std::filesystem::create_directories((dir / r.file).parent_path(), ec);
    double scale = r.file.find("@2x") != std::string::npos ? 2 : 1;
    auto ctx = cg::Context::makeBitmap(r.size, false, scale);
    if (!ctx) {
      ++failures;
      continue;
    }
    r.draw(*ctx, r.size);
    cg::ImagePtr image = ctx->makeImage();
    bool jpeg = r.file.ends_with(".jpg") || r.file.ends_with(".jpeg");
    if (!image || !write(dir / r.file, jpeg ? image->jpegData(0.9) : image->pngData())) {
      std::fprintf(stderr, "placeholder-resources: cannot write %s\n", r.file.c_str());
      ++failures;
    }
  }
  return failures ? 1 : 0;
}
