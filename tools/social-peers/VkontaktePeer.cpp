#include "VkontaktePeer.h"

#include <stdexcept>

#include "PeerHTTP.h"

namespace socialpeers {

VkontaktePeer::VkontaktePeer() = default;

VkontaktePeer::~VkontaktePeer() { stop(); }

std::string VkontaktePeer::origin() const {
  return std::string("http://") + kHostName + ":" + std::to_string(port_);
}

void VkontaktePeer::setClientId(std::string clientId) {
  std::lock_guard lock(mutex_);
  clientId_ = std::move(clientId);
}

void VkontaktePeer::setPassword(std::string password) {
  std::lock_guard lock(mutex_);
  password_ = std::move(password);
}

void VkontaktePeer::setTokenPrefix(std::string prefix) {
  std::lock_guard lock(mutex_);
  tokenPrefix_ = std::move(prefix);
}

std::string VkontaktePeer::password() const {
  std::lock_guard lock(mutex_);
  return password_;
}

void VkontaktePeer::reset() {
  {
    std::lock_guard lock(mutex_);
    clientId_ = "1000001";
    password_ = "secret";
    tokenPrefix_ = std::string(1, 'T');
    tokens_.clear();
    revoked_ = 0;
    sessions_.clear();
    nextPost_ = 1;
  }
  log_.clear();
}

bool VkontaktePeer::isTokenValid(const std::string& token) const {
  std::lock_guard lock(mutex_);
  for (std::size_t i = revoked_; i < tokens_.size(); ++i)
    if (tokens_[i] == token) return true;
  return false;
}

void VkontaktePeer::revokeTokens() {
  std::lock_guard lock(mutex_);
  revoked_ = tokens_.size();
}

std::vector<std::string> VkontaktePeer::handedOutTokens() const {
  std::lock_guard lock(mutex_);
  return tokens_;
}

bool VkontaktePeer::validAuthorizeQuery(const PeerRequest& request) const {
  std::string clientId;
  {
    std::lock_guard lock(mutex_);
    clientId = clientId_;
  }
  auto param = [&](const char* name) {
    auto it = request.params.find(name);
    return it == request.params.end() ? std::string() : it->second;
  };
  return param("client_id") == clientId && param("scope") == "8192" &&
         param("redirect_uri") ==
             "http://" + std::string(kHostName) + ":" + std::to_string(port_) + "/blank.html" &&
         param("display") == "touch" && param("response_type") == "token";
}

std::string VkontaktePeer::loginPage(const std::string& query, bool wrongPassword) const {
  std::string action = "/oauth/login" + (query.empty() ? "" : "?" + query);
  return "<!DOCTYPE html>\n<html><head><title>VKontakte login</title></head><body>\n"
         "<h1>Log in to VKontakte</h1>\n" +
         std::string(wrongPassword ? "<p>Wrong e-mail or password.</p>\n" : "") +
         "<form method=\"post\" action=\"" + escapeHTML(action) +
         "\">\n"
         "<p>E-mail <input type=\"text\" name=\"email\" value=\"\"></p>\n"
         "<p>Password <input type=\"password\" name=\"pass\" value=\"\"></p>\n"
         "<p><input type=\"submit\" name=\"login\" value=\"Log in\"></p>\n"
         "</form>\n"
         "<p><a href=\"/blank.html#error=access_denied&amp;error_reason=user_denied\">Cancel</a></p>\n"
         "</body></html>\n";
}

std::string VkontaktePeer::tokenRedirect() {
  std::string token;
  {
    std::lock_guard lock(mutex_);
    token = tokens_.empty() ? tokenPrefix_ : tokenPrefix_ + std::to_string(tokens_.size() + 1);
    tokens_.push_back(token);
  }
  return "/blank.html#access_token=" + token + "&expires_in=86400&user_id=1";
}

void VkontaktePeer::route() {
  httplib::Server& s = *server_;
  s.Get("/oauth/authorize", [this](const httplib::Request& req, httplib::Response& res) {
    PeerRequest request = recordRequest(req);
    log_.add(request);
    if (!validAuthorizeQuery(request)) {
      res.status = 400;
      res.set_content("Bad authorisation request", "text/plain");
      return;
    }
    std::string session = requestCookie(req, kCookieName);
    bool loggedIn = false;
    {
      std::lock_guard lock(mutex_);
      loggedIn = !session.empty() && sessions_.contains(session);
    }
    if (loggedIn) {
      res.set_redirect(tokenRedirect(), 302);
      return;
    }
    res.set_content(loginPage(request.query, false), "text/html; charset=utf-8");
  });
  s.Post("/oauth/login", [this](const httplib::Request& req, httplib::Response& res) {
    PeerRequest request = recordRequest(req);
    log_.add(request);
    if (req.get_param_value("pass") != password()) {
      res.set_content(loginPage(request.query, true), "text/html; charset=utf-8");
      return;
    }
    std::string session;
    {
      std::lock_guard lock(mutex_);
      session = "s" + std::to_string(nextSession_++);
      sessions_.insert(session);
    }
    res.set_header("Set-Cookie",
                   std::string(kCookieName) + "=" + session + "; Domain=" + kHostName + "; Path=/; HttpOnly");
    res.set_redirect(tokenRedirect(), 302);
  });
  s.Get("/blank.html", [this](const httplib::Request& req, httplib::Response& res) {
    log_.add(recordRequest(req));
    res.set_content("", "text/html");
  });
  s.Get("/method/wall\\.post", [this](const httplib::Request& req, httplib::Response& res) {
    log_.add(recordRequest(req));
    if (!isTokenValid(req.get_param_value("access_token"))) {
      res.set_content(
          R"({"error":{"error_code":5,"error_msg":"User authorization failed: invalid access_token."}})",
          "application/json");
      return;
    }
    int post = 0;
    {
      std::lock_guard lock(mutex_);
      post = nextPost_++;
    }
    res.set_content("{\"response\":{\"post_id\":" + std::to_string(post) + "}}", "application/json");
  });
  auto notFound = [this](const httplib::Request& req, httplib::Response& res) {
    log_.add(recordRequest(req));
    res.status = 404;
    res.set_content("Not Found", "text/plain");
  };
  s.Get(".*", notFound);
  s.Post(".*", notFound);
}

void VkontaktePeer::start(int port) {
  if (server_) throw std::runtime_error("VKontakte peer: already started");
  server_ = std::make_unique<httplib::Server>();
  route();
  try {
    port_ = listenOnLoopback(*server_, port, thread_, "VKontakte peer");
  } catch (...) {
    server_.reset();
    throw;
  }
}

void VkontaktePeer::stop() { stopLoopback(server_, thread_, port_); }

}  // namespace socialpeers
