#include "Foundation/MIMEType.h"

#include <fstream>
#include <sstream>

namespace ns {

namespace {

// Types every client expects even where the system's table is missing.
constexpr std::string_view kBuiltInTypes =
    "application/json json\n"
    "application/pdf pdf\n"
    "application/xml xml xsl\n"
    "application/x-plist plist\n"
    "application/zip zip\n"
    "application/gzip gz\n"
    "application/javascript js\n"
    "application/octet-stream bin\n"
    "audio/mpeg mp3 mpga\n"
    "audio/mp4 m4a\n"
    "audio/x-wav wav\n"
    "image/bmp bmp\n"
    "image/gif gif\n"
    "image/jpeg jpeg jpg jpe\n"
    "image/png png\n"
    "image/svg+xml svg svgz\n"
    "image/tiff tiff tif\n"
    "image/vnd.microsoft.icon ico\n"
    "image/webp webp\n"
    "text/css css\n"
    "text/csv csv\n"
    "text/html html htm\n"
    "text/plain txt text\n"
    "video/mp4 mp4 m4v\n"
    "video/quicktime mov qt\n"
    "video/x-msvideo avi\n"
    "video/mp2t ts\n"
    "application/vnd.apple.mpegurl m3u8\n";

std::string lowerASCII(std::string_view text) {
  std::string out(text);
  for (auto& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

MIMETypeTable MIMETypeTable::fromMimeTypesText(std::string_view text) {
  MIMETypeTable table;
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) {
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string type, extension;
    if (!(words >> type) || type.find('/') == std::string::npos) continue;
    while (words >> extension) table.types_.try_emplace(lowerASCII(extension), type);
  }
  return table;
}

const MIMETypeTable& MIMETypeTable::system() {
  static const MIMETypeTable table = [] {
    MIMETypeTable t;
    if (std::ifstream file("/etc/mime.types"); file) {
      std::stringstream text;
      text << file.rdbuf();
      t = fromMimeTypesText(text.str());
    }
    t.merge(fromMimeTypesText(kBuiltInTypes));
    return t;
  }();
  return table;
}

void MIMETypeTable::merge(const MIMETypeTable& other) {
  for (const auto& [extension, type] : other.types_) types_.try_emplace(extension, type);
}

std::optional<std::string> MIMETypeTable::typeForExtension(std::string_view extension) const {
  if (extension.empty()) return std::nullopt;
  auto found = types_.find(lowerASCII(extension));
  if (found == types_.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> MIMETypeForPathExtension(std::string_view extension) {
  return MIMETypeTable::system().typeForExtension(extension);
}

}  // namespace ns
