#include "Foundation/URL.h"

#include <charconv>
#include <filesystem>

#include "Foundation/PercentEscapes.h"

namespace ns {
namespace {

struct Split {
  std::optional<std::string_view> scheme, authority, query, fragment;
  std::string_view path;
};

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// RFC 3986 appendix B: scheme, authority, path, query, fragment.
Split split(std::string_view s) {
  Split out;
  std::size_t colon = s.find_first_of(":/?#");
  if (colon != std::string_view::npos && s[colon] == ':' && colon > 0 && isAlpha(s[0])) {
    bool schemeChars = true;
    for (char c : s.substr(0, colon))
      if (!(isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.')) schemeChars = false;
    if (schemeChars) {
      out.scheme = s.substr(0, colon);
      s.remove_prefix(colon + 1);
    }
  }
  if (s.starts_with("//")) {
    s.remove_prefix(2);
    std::size_t end = s.find_first_of("/?#");
    out.authority = s.substr(0, end);
    s.remove_prefix(end == std::string_view::npos ? s.size() : end);
  }
  if (std::size_t hash = s.find('#'); hash != std::string_view::npos) {
    out.fragment = s.substr(hash + 1);
    s = s.substr(0, hash);
  }
  if (std::size_t question = s.find('?'); question != std::string_view::npos) {
    out.query = s.substr(question + 1);
    s = s.substr(0, question);
  }
  out.path = s;
  return out;
}

bool isURLCharacter(char c) {
  if (isAlpha(c) || isDigit(c)) return true;
  return c != 0 && std::string_view("-_.!~*'();/?:@&=+$,%").find(c) != std::string_view::npos;
}

// Escapes are well formed and every character may stand in a URL.
bool validText(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!isURLCharacter(s[i])) return false;
    if (s[i] == '%' && (i + 2 >= s.size() || !isHex(s[i + 1]) || !isHex(s[i + 2]))) return false;
  }
  return true;
}

struct Authority {
  std::optional<std::string_view> user, password, port;
  std::string_view host;
};

Authority splitAuthority(std::string_view a) {
  Authority out;
  if (std::size_t at = a.rfind('@'); at != std::string_view::npos) {
    std::string_view info = a.substr(0, at);
    a.remove_prefix(at + 1);
    std::size_t colon = info.find(':');
    out.user = info.substr(0, colon);
    if (colon != std::string_view::npos) out.password = info.substr(colon + 1);
  }
  std::size_t colon = a.rfind(':');
  if (colon != std::string_view::npos && a.find(']', colon) == std::string_view::npos) {
    out.port = a.substr(colon + 1);
    a = a.substr(0, colon);
  }
  out.host = a;
  return out;
}

bool validAuthority(std::string_view a) {
  Authority parts = splitAuthority(a);
  if (parts.user && (!validText(*parts.user) || parts.user->find('@') != std::string_view::npos)) return false;
  if (parts.password && !validText(*parts.password)) return false;
  std::string_view host = parts.host;
  if (host.starts_with('[')) {
    if (host.size() < 3 || !host.ends_with(']')) return false;
    for (char c : host.substr(1, host.size() - 2))
      if (!(isHex(c) || c == ':' || c == '.')) return false;
  } else if (!validText(host) || host.find_first_of("/?#@:") != std::string_view::npos) {
    return false;
  }
  if (parts.port && !parts.port->empty()) {
    int port = 0;
    auto [end, ec] = std::from_chars(parts.port->data(), parts.port->data() + parts.port->size(), port);
    if (ec != std::errc() || end != parts.port->data() + parts.port->size() || port < 0 || port > 65535) return false;
    if (!isDigit(parts.port->front())) return false;
  }
  return true;
}

bool validURLString(std::string_view s) {
  Split parts = split(s);
  if (parts.authority && !validAuthority(*parts.authority)) return false;
  if (!validText(parts.path)) return false;
  if (parts.query && !validText(*parts.query)) return false;
  if (parts.fragment && !validText(*parts.fragment)) return false;
  return true;
}

// RFC 3986 section 5.2.4.
std::string removeDotSegments(std::string_view input) {
  std::string output;
  while (!input.empty()) {
    if (input.starts_with("../")) {
      input.remove_prefix(3);
    } else if (input.starts_with("./")) {
      input.remove_prefix(2);
    } else if (input.starts_with("/./")) {
      input.remove_prefix(2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.starts_with("/../") || input == "/..") {
      input = input.size() == 3 ? std::string_view("/") : input.substr(3);
      std::size_t last = output.rfind('/');
      output.erase(last == std::string::npos ? 0 : last);
    } else if (input == "." || input == "..") {
      input = {};
    } else {
      std::size_t next = input.find('/', input.front() == '/' ? 1 : 0);
      if (next == std::string_view::npos) next = input.size();
      output.append(input.substr(0, next));
      input.remove_prefix(next);
    }
  }
  return output;
}

std::string compose(const Split& p, const std::string& path) {
  std::string out;
  if (p.scheme) out.append(*p.scheme).append(":");
  if (p.authority) out.append("//").append(*p.authority);
  out += path;
  if (p.query) out.append("?").append(*p.query);
  if (p.fragment) out.append("#").append(*p.fragment);
  return out;
}

// RFC 3986 section 5.2.2.
std::string resolve(std::string_view reference, std::string_view base) {
  Split r = split(reference), b = split(base), t;
  std::string path;
  if (r.scheme) {
    t = r;
    path = removeDotSegments(r.path);
  } else if (r.authority) {
    t = r;
    t.scheme = b.scheme;
    path = removeDotSegments(r.path);
  } else {
    t.scheme = b.scheme;
    t.authority = b.authority;
    if (r.path.empty()) {
      path = std::string(b.path);
      t.query = r.query ? r.query : b.query;
    } else {
      if (r.path.front() == '/') {
        path = removeDotSegments(r.path);
      } else {
        std::string merged;
        if (b.authority && b.path.empty()) {
          merged += '/';
          merged += r.path;
        } else {
          std::size_t slash = b.path.rfind('/');
          merged = std::string(slash == std::string_view::npos ? std::string_view() : b.path.substr(0, slash + 1));
          merged += r.path;
        }
        path = removeDotSegments(merged);
      }
      t.query = r.query;
    }
  }
  t.fragment = r.fragment;
  return compose(t, path);
}

std::optional<std::string> decoded(const std::optional<std::string_view>& part) {
  if (!part) return std::nullopt;
  auto text = removePercentEncoding(*part);
  return text ? *text : std::string(*part);
}

}  // namespace

bool URL::parse(std::string_view absolute) {
  absolute_ = std::string(absolute);
  Split parts = split(absolute_);
  auto copy = [](const std::optional<std::string_view>& v) {
    return v ? std::optional<std::string>(std::string(*v)) : std::nullopt;
  };
  scheme_ = copy(parts.scheme);
  authority_ = copy(parts.authority);
  path_ = std::string(parts.path);
  query_ = copy(parts.query);
  fragment_ = copy(parts.fragment);
  return true;
}

std::optional<URL> URL::URLWithString(std::string_view string) {
  if (!validURLString(string)) return std::nullopt;
  URL url;
  url.relative_ = std::string(string);
  url.parse(string);
  return url;
}

std::optional<URL> URL::URLWithString(std::string_view string, const URL& baseURL) {
  if (baseURL.empty()) return URLWithString(string);
  if (!validURLString(string)) return std::nullopt;
  URL url;
  url.relative_ = std::string(string);
  url.base_ = std::make_shared<const URL>(baseURL);
  url.parse(resolve(string, baseURL.absoluteString()));
  return url;
}

URL URL::fileURLWithPath(std::string_view path) {
  std::string absolute(path);
  if (absolute.empty() || absolute.front() != '/') {
    std::error_code ec;
    absolute = std::filesystem::absolute(absolute.empty() ? std::filesystem::path(".") : std::filesystem::path(absolute), ec)
                   .lexically_normal()
                   .string();
  }
  URL url;
  url.relative_ = "file://" + addPercentEncoding(absolute, std::string(kURLUnreservedCharacters) + "!$&'()*+,;=:@/");
  url.parse(url.relative_);
  return url;
}

URL URL::absoluteURL() const {
  if (!base_) return *this;
  URL url;
  url.relative_ = absolute_;
  url.parse(absolute_);
  return url;
}

std::string URL::percentEncodedHost() const {
  if (!authority_) return {};
  std::string_view host = splitAuthority(*authority_).host;
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  return std::string(host);
}

std::string URL::host() const { return decoded(std::string_view(percentEncodedHost())).value_or(""); }

std::optional<int> URL::port() const {
  if (!authority_) return std::nullopt;
  auto port = splitAuthority(*authority_).port;
  if (!port || port->empty()) return std::nullopt;
  int value = 0;
  auto [end, ec] = std::from_chars(port->data(), port->data() + port->size(), value);
  if (ec != std::errc() || end != port->data() + port->size()) return std::nullopt;
  return value;
}

std::optional<std::string> URL::percentEncodedUser() const {
  if (!authority_) return std::nullopt;
  auto user = splitAuthority(*authority_).user;
  return user ? std::optional<std::string>(std::string(*user)) : std::nullopt;
}

std::optional<std::string> URL::percentEncodedPassword() const {
  if (!authority_) return std::nullopt;
  auto password = splitAuthority(*authority_).password;
  return password ? std::optional<std::string>(std::string(*password)) : std::nullopt;
}

std::optional<std::string> URL::user() const {
  auto user = percentEncodedUser();
  return user ? decoded(std::string_view(*user)) : std::nullopt;
}

std::optional<std::string> URL::password() const {
  auto password = percentEncodedPassword();
  return password ? decoded(std::string_view(*password)) : std::nullopt;
}

std::string URL::path() const {
  std::string path = decoded(std::string_view(path_)).value_or(path_);
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::vector<std::string> URL::pathComponents() const {
  std::vector<std::string> components;
  std::string path = this->path();
  if (path.empty()) return components;
  if (path.front() == '/') components.emplace_back("/");
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) components.emplace_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return components;
}

std::string URL::lastPathComponent() const {
  auto components = pathComponents();
  return components.empty() ? std::string() : components.back();
}

std::string URL::pathExtension() const {
  std::string last = lastPathComponent();
  std::size_t dot = last.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == last.size()) return {};
  return last.substr(dot + 1);
}

URL URL::URLByAppendingPathComponent(std::string_view component) const {
  Split parts = split(absolute_);
  std::string path(parts.path);
  if (path.empty() || path.back() != '/') path += '/';
  path += addPercentEncoding(component, std::string(kURLUnreservedCharacters) + "!$&'()*+,;=:@/");
  URL url;
  url.relative_ = compose(parts, path);
  url.parse(url.relative_);
  return url;
}

bool URL::isFileURL() const {
  if (!scheme_ || scheme_->size() != 4) return false;
  std::string lower;
  for (char c : *scheme_) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower == "file";
}

std::string URL::describe() const { return base_ ? relative_ + " -- " + base_->describe() : absolute_; }

bool URL::operator==(const URL& other) const {
  if (relative_ != other.relative_) return false;
  if (!base_ || !other.base_) return !base_ && !other.base_;
  return *base_ == *other.base_;
}

}  // namespace ns
