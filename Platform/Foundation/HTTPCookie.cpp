#include "Foundation/HTTPCookie.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "Foundation/HTTPCookieStorage.h"
#include "Foundation/HTTPHeaderParsing.h"
#include "Foundation/URLRequest.h"

namespace ns {

namespace {

bool isIPAddress(const std::string& host) {
  unsigned char buffer[16];
  std::string bare = host;
  if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') bare = bare.substr(1, bare.size() - 2);
  return inet_pton(AF_INET, bare.c_str(), buffer) == 1 || inet_pton(AF_INET6, bare.c_str(), buffer) == 1;
}

bool hasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

// Names and values end up in a Cookie header: nothing that could end or split it, no control
// character, and no pair longer than servers take.
bool acceptableName(std::string_view name) {
  if (name.empty() || hasControlCharacter(name)) return false;
  return name.find_first_of(std::string_view(";,= ", 4)) == std::string_view::npos;
}
bool acceptablePair(std::string_view name, std::string_view value) {
  return acceptableName(name) && !hasControlCharacter(value) && value.find(';') == std::string_view::npos &&
         name.size() + value.size() <= HTTPCookie::kMaxNameAndValueBytes;
}

std::optional<Date> parseHTTPDate(const std::string& text) {
  time_t t = curl_getdate(text.c_str(), nullptr);
  if (t == -1) return std::nullopt;
  return Date(static_cast<double>(t));
}

std::string defaultPath(const URL& url) {
  const std::string& path = url.percentEncodedPath();
  if (path.empty() || path.front() != '/') return "/";
  auto slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool pathMatches(const std::string& cookiePath, const std::string& requestPath) {
  if (requestPath == cookiePath) return true;
  if (requestPath.compare(0, cookiePath.size(), cookiePath) != 0) return false;
  return cookiePath.back() == '/' || requestPath[cookiePath.size()] == '/';
}

bool domainMatches(const std::string& host, const std::string& domain) {
  if (domain.empty()) return false;
  if (domain.front() != '.') return host == domain;
  std::string bare = domain.substr(1);
  return host == bare || (host.size() > domain.size() &&
                          host.compare(host.size() - domain.size(), domain.size(), domain) == 0);
}

// Where a field of several cookies joined by commas splits: a comma followed by "name=", not the
// comma inside an Expires date ("Wed, 09 Jun 2021 ..."). Each part goes to take() in turn, until it
// returns false.
template <typename Take>
void splitCookieFields(std::string_view joined, Take take) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < joined.size(); ++i) {
    if (joined[i] != ',') continue;
    std::size_t j = i + 1;
    while (j < joined.size() && (joined[j] == ' ' || joined[j] == '\t')) ++j;
    std::size_t k = j;
    while (k < joined.size() && joined[k] != '=' && joined[k] != ';' && joined[k] != ',' && joined[k] != ' ')
      ++k;
    if (k < joined.size() && k > j && joined[k] == '=') {
      if (!take(joined.substr(start, i - start))) return;
      start = j;
    }
  }
  take(joined.substr(start));
}

}  // namespace

std::shared_ptr<HTTPCookie> HTTPCookie::cookieWithSetCookieValue(std::string_view setCookie, const URL& url) {
  std::string host = http::asciiLowercase(url.host());
  if (host.empty()) return nullptr;
  std::size_t semi = setCookie.find(';');
  std::string_view pair = setCookie.substr(0, semi);
  std::size_t eq = pair.find('=');
  if (eq == std::string_view::npos) return nullptr;
  auto cookie = std::make_shared<HTTPCookie>();
  cookie->name_ = std::string(http::trimSpaces(pair.substr(0, eq)));
  cookie->value_ = std::string(http::trimSpaces(pair.substr(eq + 1)));
  if (!acceptablePair(cookie->name_, cookie->value_)) return nullptr;
  cookie->domain_ = host;
  cookie->path_ = defaultPath(url);

  std::optional<Date> expires, maxAgeExpiry;
  std::string domainAttribute;
  while (semi != std::string_view::npos) {
    std::size_t next = setCookie.find(';', semi + 1);
    std::string_view attribute =
        setCookie.substr(semi + 1, next == std::string_view::npos ? std::string_view::npos : next - semi - 1);
    semi = next;
    std::size_t aeq = attribute.find('=');
    std::string key = http::asciiLowercase(http::trimSpaces(attribute.substr(0, aeq)));
    std::string value = aeq == std::string_view::npos
                            ? std::string()
                            : std::string(http::trimSpaces(attribute.substr(aeq + 1)));
    if (key == "expires") {
      if (auto date = parseHTTPDate(value)) expires = date;
    } else if (key == "max-age") {
      char* end = nullptr;
      long long seconds = std::strtoll(value.c_str(), &end, 10);
      if (!value.empty() && end && *end == '\0')
        maxAgeExpiry =
            seconds <= 0 ? Date(0) : Date::now().dateByAddingTimeInterval(static_cast<double>(seconds));
    } else if (key == "domain") {
      std::string domain = http::asciiLowercase(value);
      while (!domain.empty() && domain.front() == '.') domain.erase(0, 1);
      if (!domain.empty()) domainAttribute = domain;
    } else if (key == "path") {
      if (!value.empty() && value.front() == '/') cookie->path_ = value;
    } else if (key == "secure") {
      cookie->secure_ = true;
    } else if (key == "httponly") {
      cookie->httpOnly_ = true;
    }
  }
  if (!domainAttribute.empty()) {
    // A Domain must cover the host, and may not be a bare top-level name or stand for an address.
    if (isIPAddress(host) || domainAttribute.find('.') == std::string::npos) {
      if (domainAttribute != host) return nullptr;
    } else {
      if (!domainMatches(host, "." + domainAttribute)) return nullptr;
      cookie->domain_ = "." + domainAttribute;
    }
  }
  cookie->expires_ = maxAgeExpiry ? maxAgeExpiry : expires;
  return cookie;
}

std::vector<std::shared_ptr<HTTPCookie>> HTTPCookie::cookiesWithResponseHeaderFields(
    const Dictionary& headerFields, const URL& url) {
  std::vector<std::shared_ptr<HTTPCookie>> cookies;
  const Value* field = findHTTPHeaderField(headerFields, "Set-Cookie");
  if (!field || !field->asString()) return cookies;
  std::size_t bytes = 0;
  splitCookieFields(*field->asString(), [&](std::string_view part) {
    bytes += part.size();
    if (bytes > kMaxCookieBytesPerResponse) return false;
    if (auto cookie = cookieWithSetCookieValue(part, url)) cookies.push_back(std::move(cookie));
    return cookies.size() < kMaxCookiesPerResponse;
  });
  return cookies;
}

std::shared_ptr<HTTPCookie> HTTPCookie::cookieWithProperties(const Dictionary& properties) {
  auto text = [&](const char* key) -> std::string {
    const Value& v = properties[key];
    return v.asString() ? *v.asString() : std::string();
  };
  auto cookie = std::make_shared<HTTPCookie>();
  cookie->name_ = text(kHTTPCookieName);
  cookie->value_ = text(kHTTPCookieValue);
  if (!properties[kHTTPCookieValue].isString() || !acceptablePair(cookie->name_, cookie->value_))
    return nullptr;
  cookie->domain_ = http::asciiLowercase(text(kHTTPCookieDomain));
  if (cookie->domain_.empty()) {
    auto origin = URL::URLWithString(text(kHTTPCookieOriginURL));
    if (!origin || origin->host().empty()) return nullptr;
    cookie->domain_ = http::asciiLowercase(origin->host());
  }
  std::string path = text(kHTTPCookiePath);
  cookie->path_ = path.empty() || path.front() != '/' ? "/" : path;
  const Value& secure = properties[kHTTPCookieSecure];
  cookie->secure_ =
      secure.isString() ? http::equalsIgnoringCase(*secure.asString(), "TRUE") : secure.boolValue();
  const Value& expires = properties[kHTTPCookieExpires];
  if (expires.asDate())
    cookie->expires_ = *expires.asDate();
  else if (expires.asString())
    cookie->expires_ = parseHTTPDate(*expires.asString());
  const Value& maxAge = properties[kHTTPCookieMaximumAge];
  if (maxAge.isNumber() || maxAge.isString()) {
    double seconds = maxAge.doubleValue();
    cookie->expires_ = seconds <= 0 ? Date(0) : Date::now().dateByAddingTimeInterval(seconds);
  }
  const Value& discard = properties[kHTTPCookieDiscard];
  if (discard.isString() ? http::equalsIgnoringCase(*discard.asString(), "TRUE") : discard.boolValue())
    cookie->expires_.reset();
  return cookie;
}

Dictionary HTTPCookie::requestHeaderFieldsWithCookies(
    const std::vector<std::shared_ptr<HTTPCookie>>& cookies) {
  std::string header;
  for (const auto& cookie : cookies) {
    if (!cookie) continue;
    // A cookie that would take the field past what servers accept stays out; the ones after it,
    // shorter, may still fit.
    std::size_t length = (header.empty() ? 0 : 2) + cookie->name_.size() + 1 + cookie->value_.size();
    if (header.size() + length > kMaxRequestHeaderBytes) continue;
    if (!header.empty()) header += "; ";
    header += cookie->name_ + "=" + cookie->value_;
  }
  if (header.empty()) return {};
  return Dictionary{{"Cookie", header}};
}

Dictionary HTTPCookie::properties() const {
  Dictionary p{{kHTTPCookieName, name_},
               {kHTTPCookieValue, value_},
               {kHTTPCookieDomain, domain_},
               {kHTTPCookiePath, path_}};
  if (expires_) p.set(kHTTPCookieExpires, *expires_);
  if (secure_) p.set(kHTTPCookieSecure, "TRUE");
  if (httpOnly_) p.set("HttpOnly", "TRUE");
  return p;
}

bool HTTPCookie::matchesURL(const URL& url, Date now) const {
  const auto& scheme = url.scheme();
  if (!scheme) return false;
  std::string lowered = http::asciiLowercase(*scheme);
  if (lowered != "http" && lowered != "https") return false;
  if (secure_ && lowered != "https") return false;
  if (isExpired(now)) return false;
  if (!domainMatches(http::asciiLowercase(url.host()), domain_)) return false;
  std::string requestPath = url.percentEncodedPath().empty() ? "/" : url.percentEncodedPath();
  return pathMatches(path_, requestPath);
}

bool HTTPCookie::sameIdentity(const HTTPCookie& other) const {
  return name_ == other.name_ && domain_ == other.domain_ && path_ == other.path_;
}

std::string HTTPCookie::describe() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return std::string("<HTTPCookie: ") + address + "> " + name_ + " domain:" + domain_ + " path:" + path_;
}

std::shared_ptr<HTTPCookieStorage> HTTPCookieStorage::sharedHTTPCookieStorage() {
  static const auto* storage = new auto(std::make_shared<HTTPCookieStorage>());
  return *storage;
}

namespace {

std::size_t cookieBytes(const HTTPCookie& cookie) { return cookie.name().size() + cookie.value().size(); }

std::string identityKey(const HTTPCookie& cookie) {
  // No name holds "=" or ";", no domain or path a NUL: the parts cannot run into each other.
  std::string key = cookie.name();
  key += '=';
  (key += cookie.domain()) += '\0';
  return key += cookie.path();
}

}  // namespace

std::vector<HTTPCookiePtr> HTTPCookieStorage::cookies() const {
  Date now = Date::now();
  std::lock_guard lock(mutex_);
  std::vector<HTTPCookiePtr> result;
  for (const auto& [order, cookie] : cookies_)
    if (!cookie->isExpired(now)) result.push_back(cookie);
  return result;
}

std::vector<HTTPCookiePtr> HTTPCookieStorage::cookiesForURL(const URL& url) const {
  Date now = Date::now();
  std::vector<HTTPCookiePtr> result;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [order, cookie] : cookies_)
      if (cookie->matchesURL(url, now)) result.push_back(cookie);
  }
  std::stable_sort(result.begin(), result.end(), [](const HTTPCookiePtr& a, const HTTPCookiePtr& b) {
    return a->path().size() > b->path().size();
  });
  return result;
}

void HTTPCookieStorage::removeLocked(std::uint64_t order) {
  auto it = cookies_.find(order);
  if (it == cookies_.end()) return;
  byIdentity_.erase(identityKey(*it->second));
  auto domain = byDomain_.find(it->second->domain());
  if (domain != byDomain_.end()) {
    domain->second.erase(order);
    if (domain->second.empty()) {
      byDomain_.erase(domain);
      domainBytes_.erase(it->second->domain());
    } else {
      domainBytes_[it->second->domain()] -= cookieBytes(*it->second);
    }
  }
  cookies_.erase(it);
}

void HTTPCookieStorage::setCookie(const HTTPCookiePtr& cookie) {
  if (!cookie) return;
  bool expired = cookie->isExpired(Date::now());
  std::string key = identityKey(*cookie);
  std::lock_guard lock(mutex_);
  if (auto same = byIdentity_.find(key); same != byIdentity_.end()) removeLocked(same->second);
  if (expired) return;
  const std::string& domain = cookie->domain();
  if (auto ofDomain = byDomain_.find(domain); ofDomain != byDomain_.end()) {
    if (ofDomain->second.size() >= kMaxCookiesPerDomain) removeLocked(*ofDomain->second.begin());
    // The oldest of the domain make room for the new one's bytes.
    while (byDomain_.count(domain) && domainBytes_[domain] + cookieBytes(*cookie) > kMaxBytesPerDomain)
      removeLocked(*byDomain_[domain].begin());
  }
  if (cookies_.size() >= kMaxCookies) removeLocked(cookies_.begin()->first);
  std::uint64_t order = nextOrder_++;
  cookies_.emplace(order, cookie);
  byIdentity_.emplace(std::move(key), order);
  byDomain_[domain].insert(order);
  domainBytes_[domain] += cookieBytes(*cookie);
}

void HTTPCookieStorage::setCookies(const std::vector<HTTPCookiePtr>& cookies, const URL&,
                                   const std::optional<URL>&) {
  for (const auto& cookie : cookies) setCookie(cookie);
}

void HTTPCookieStorage::deleteCookie(const HTTPCookiePtr& cookie) {
  if (!cookie) return;
  std::string key = identityKey(*cookie);
  std::lock_guard lock(mutex_);
  if (auto same = byIdentity_.find(key); same != byIdentity_.end()) removeLocked(same->second);
}

}  // namespace ns
