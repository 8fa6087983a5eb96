#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "Foundation/HTTPCookie.h"
#include "Foundation/Object.h"
#include "Foundation/URL.h"

namespace ns {

// The process's cookies, shared by URL loading (requests that handle cookies send and store them)
// and the web views. Kept in memory for the life of the process; safe from any thread.
class HTTPCookieStorage final : public Object {
 public:
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
  mutable std::mutex mutex_;
  std::vector<HTTPCookiePtr> cookies_;
};

}  // namespace ns
