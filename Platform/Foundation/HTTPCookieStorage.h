#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "Foundation/HTTPCookie.h"
#include "Foundation/Object.h"
#include "Foundation/URL.h"

namespace ns {

// The process's cookies, shared by URL loading (requests that handle cookies send and store them)
// and the web views. Kept in memory for the life of the process; safe from any thread. It holds at
// most kMaxCookiesPerDomain of one domain, kMaxBytesPerDomain of their names and values, and
// kMaxCookies in all, the longest unchanged going first, and stores a cookie in logarithmic time
// whatever it holds.
class HTTPCookieStorage final : public Object {
 public:
  static constexpr std::size_t kMaxCookies = 3000;
  static constexpr std::size_t kMaxCookiesPerDomain = 180;
  static constexpr std::size_t kMaxBytesPerDomain = 16 * 1024;

  static std::shared_ptr<HTTPCookieStorage> sharedHTTPCookieStorage();

  // Every unexpired cookie, in the order stored.
  std::vector<HTTPCookiePtr> cookies() const;
  // Those to send to url (http or https only; Secure ones only over https), longest path first.
  std::vector<HTTPCookiePtr> cookiesForURL(const URL& url) const;
  // Replaces a cookie of the same name, domain and path; an expired cookie only removes that one.
  void setCookie(const HTTPCookiePtr& cookie);
  void setCookies(const std::vector<HTTPCookiePtr>& cookies, const URL& url,
                  const std::optional<URL>& mainDocumentURL);
  void deleteCookie(const HTTPCookiePtr& cookie);

 private:
  void removeLocked(std::uint64_t order);

  mutable std::mutex mutex_;
  std::uint64_t nextOrder_ = 0;
  std::map<std::uint64_t, HTTPCookiePtr> cookies_;             // by the order stored
  std::unordered_map<std::string, std::uint64_t> byIdentity_;  // name, domain and path
  std::unordered_map<std::string, std::set<std::uint64_t>> byDomain_;
  std::unordered_map<std::string, std::size_t> domainBytes_;
};

}  // namespace ns
