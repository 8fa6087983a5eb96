#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace ns {

// File-name extension to MIME type, as the platform's type identifiers map them. The system's
// table (/etc/mime.types) comes first; a built-in table of common types fills what it lacks, so
// the answer does not depend on that file being installed. Extensions match in any letter case.
class MIMETypeTable final {
 public:
  // The process's table, read once on first use. Safe from any thread.
  static const MIMETypeTable& system();
  // A table from text in the mime.types layout ("type ext ext ...", "#" comments); the first
  // type named for an extension wins.
  static MIMETypeTable fromMimeTypesText(std::string_view text);

  // Nothing for an unknown or empty extension.
  std::optional<std::string> typeForExtension(std::string_view extension) const;
  // Adds the entries this table lacks from another.
  void merge(const MIMETypeTable& other);
  std::size_t size() const { return types_.size(); }

 private:
  std::map<std::string, std::string, std::less<>> types_;  // lower-case extension -> type
};

// The preferred MIME type for a path extension (without the dot); nothing when none is known.
std::optional<std::string> MIMETypeForPathExtension(std::string_view extension);

}  // namespace ns
