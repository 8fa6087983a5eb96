#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ns {

// A URL as the platform keeps it: the string it was made from, optionally relative to a base URL.
// Component accessors read the absolute URL (the string resolved against the base, RFC 3986).
// path, host, user and password are percent-decoded; query and fragment are as written.
// Copies are cheap and share the base.
class URL final {
 public:
  // An empty URL (what a failed construction would be); prefer std::optional<URL> for "no URL".
  URL() = default;

  // Nothing when the string is not a well-formed URL: characters that may not stand in a URL
  // (space, non-ASCII, "<>\"{}|\\^`"), a "%" without two hex digits, a second "#", brackets outside
  // an IP literal host, or a port that is not a number up to 65535.
  static std::optional<URL> URLWithString(std::string_view string);
  static std::optional<URL> URLWithString(std::string_view string, const URL& baseURL);
  // A "file://" URL for a path (made absolute against the working folder when relative).
  static URL fileURLWithPath(std::string_view path);

  bool empty() const { return absolute_.empty(); }
  const std::string& absoluteString() const { return absolute_; }
  const std::string& relativeString() const { return relative_; }
  const URL* baseURL() const { return base_.get(); }
  URL absoluteURL() const;

  const std::optional<std::string>& scheme() const { return scheme_; }
  std::string host() const;
  std::string percentEncodedHost() const;
  std::optional<int> port() const;
  std::optional<std::string> user() const;
  std::optional<std::string> password() const;
  std::optional<std::string> percentEncodedUser() const;
  std::optional<std::string> percentEncodedPassword() const;
  // Decoded, without a trailing "/" (except for the root path "/").
  std::string path() const;
  const std::string& percentEncodedPath() const { return path_; }
  const std::optional<std::string>& query() const { return query_; }
  const std::optional<std::string>& fragment() const { return fragment_; }

  std::vector<std::string> pathComponents() const;
  std::string lastPathComponent() const;
  // The part of the last path component after its last ".", or empty.
  std::string pathExtension() const;
  // The absolute URL with one more path component (escaped as a path segment); an empty component
  // only adds a trailing "/". Query and fragment are kept.
  URL URLByAppendingPathComponent(std::string_view component) const;

  bool isFileURL() const;

  // The absolute string; for a relative URL "<relative> -- <base>" as the platform prints it.
  std::string describe() const;

  bool operator==(const URL& other) const;

 private:
  bool parse(std::string_view absolute);

  std::string relative_;
  std::shared_ptr<const URL> base_;
  std::string absolute_;
  std::optional<std::string> scheme_;
  std::optional<std::string> authority_;
  std::string path_;
  std::optional<std::string> query_;
  std::optional<std::string> fragment_;
};

}  // namespace ns
