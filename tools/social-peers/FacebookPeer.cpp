#include "FacebookPeer.h"

#include <stdexcept>

#include "PeerHTTP.h"

namespace socialpeers {

FacebookPeer::FacebookPeer() = default;

FacebookPeer::~FacebookPeer() { stop(); }

std::string FacebookPeer::origin() const {
  return std::string("http://") + kHostName + ":" + std::to_string(port_);
}

void FacebookPeer::setAccessToken(std::string token) {
  std::lock_guard lock(mutex_);
  token_ = std::move(token);
}

std::string FacebookPeer::accessToken() const {
  std::lock_guard lock(mutex_);
  return token_;
}

void FacebookPeer::setExpiresIn(std::optional<std::string> expiresIn) {
  std::lock_guard lock(mutex_);
  expiresIn_ = std::move(expiresIn);
}

void FacebookPeer::setCancelError(std::optional<std::pair<int, std::string>> error) {
  std::lock_guard lock(mutex_);
  cancelError_ = std::move(error);
}

void FacebookPeer::setFeedReply(FeedReply reply) {
  std::lock_guard lock(mutex_);
  feedReply_ = reply;
}

void FacebookPeer::reset() {
  {
    std::lock_guard lock(mutex_);
    token_ = std::string(1, 'T');
    expiresIn_ = "3600";
    cancelError_.reset();
    feedReply_ = FeedReply::ok;
    expiredTokens_.clear();
    sessions_.clear();
  }
  log_.clear();
}

bool FacebookPeer::isTokenValid(const std::string& token) const {
  std::lock_guard lock(mutex_);
  return !token.empty() && token == token_ && !expiredTokens_.contains(token);
}

std::string FacebookPeer::successRedirect(const std::string& redirectURI) const {
  std::lock_guard lock(mutex_);
  std::string target =
      (redirectURI.empty() ? "fbconnect://success" : redirectURI) + "#access_token=" + token_;
  if (expiresIn_) target += "&expires_in=" + *expiresIn_;
  return target;
}

std::string FacebookPeer::loginPage(const std::string& query) const {
  std::string cancel = "fbconnect://cancel";
  {
    std::lock_guard lock(mutex_);
    if (cancelError_)
      cancel += "?error_code=" + std::to_string(cancelError_->first) +
                "&error_msg=" + httplib::detail::encode_query_param(cancelError_->second);
  }
  std::string action = "/dialog/oauth/login" + (query.empty() ? "" : "?" + query);
  return "<!DOCTYPE html>\n<html><head><title>Log in to Facebook</title></head><body>\n"
         "<h1>Log in to Facebook</h1>\n"
         "<form method=\"post\" action=\"" +
         escapeHTML(action) +
         "\">\n"
         "<p>Email <input type=\"text\" name=\"email\" value=\"\"></p>\n"
         "<p>Password <input type=\"password\" name=\"pass\" value=\"\"></p>\n"
         "<p><input type=\"submit\" name=\"login\" value=\"Log In\"></p>\n"
         "</form>\n"
         "<p><a href=\"" +
         escapeHTML(cancel) +
         "\">Cancel</a> <a href=\"/recover\">Forgot password?</a></p>\n"
         "</body></html>\n";
}

void FacebookPeer::route() {
  httplib::Server& s = *server_;
  s.Get("/dialog/oauth", [this](const httplib::Request& req, httplib::Response& res) {
    log_.add(recordRequest(req));
    std::string session = requestCookie(req, "xs");
    bool loggedIn = false;
    {
      std::lock_guard lock(mutex_);
      loggedIn = !session.empty() && sessions_.contains(session);
    }
    if (loggedIn) {
      res.set_redirect(successRedirect(req.get_param_value("redirect_uri")), 302);
      return;
    }
    std::string query =
        req.target.find('?') == std::string::npos ? "" : req.target.substr(req.target.find('?') + 1);
    res.set_content(loginPage(query), "text/html; charset=utf-8");
  });
  s.Post("/dialog/oauth/login", [this](const httplib::Request& req, httplib::Response& res) {
    log_.add(recordRequest(req));
    std::string session;
    {
      std::lock_guard lock(mutex_);
      session = 's';
      session += std::to_string(nextSession_++);
      sessions_.insert(session);
    }
    res.set_header("Set-Cookie", std::string("c_user=") + kUserId + "; Path=/");
    res.headers.emplace("Set-Cookie", "xs=" + session + "; Path=/dialog; HttpOnly");
    res.set_redirect(successRedirect(req.get_param_value("redirect_uri")), 302);
  });
  s.Get("/method/auth\\.expireSession", [this](const httplib::Request& req, httplib::Response& res) {
    log_.add(recordRequest(req));
    if (req.has_param("access_token")) {
      std::lock_guard lock(mutex_);
      expiredTokens_.insert(req.get_param_value("access_token"));
    }
    res.set_content("true", "application/json");
  });
  s.Get("/me", [this](const httplib::Request& req, httplib::Response& res) {
    log_.add(recordRequest(req));
    if (isTokenValid(req.get_param_value("access_token"))) {
      res.set_content(std::string("{\"id\":\"") + kUserId + "\"}", "application/json");
      return;
    }
    res.status = 400;
    res.set_content(
        R"({"error":{"message":"Error validating access token","type":"OAuthException","code":190}})",
        "application/json");
  });
  s.Post(R"(/[0-9A-Za-z_]+/feed/?)", [this](const httplib::Request& req, httplib::Response& res) {
    log_.add(recordRequest(req));
    FeedReply reply;
    {
      std::lock_guard lock(mutex_);
      reply = feedReply_;
    }
    switch (reply) {
      case FeedReply::ok:
        res.set_content(std::string("{\"id\":\"") + kUserId + "_1\"}", "application/json");
        break;
      case FeedReply::permissionError:
        res.status = 403;
        res.set_content(
            R"({"error":{"message":"(#200) Permissions error","type":"OAuthException","code":200}})",
            "application/json");
        break;
      case FeedReply::serverError:
        res.status = 500;
        res.set_content("<html><body>Internal Server Error</body></html>", "text/html");
        break;
    }
  });
  s.Post("/restserver\\.php", [this](const httplib::Request& req, httplib::Response& res) {
    log_.add(recordRequest(req));
    res.set_content(R"({"video_id":"1"})", "application/json");
  });
  auto notFound = [this](const httplib::Request& req, httplib::Response& res) {
    log_.add(recordRequest(req));
    res.status = 404;
    res.set_content("Not Found", "text/plain");
  };
  s.Get(".*", notFound);
  s.Post(".*", notFound);
}

void FacebookPeer::start(int port) {
  if (server_) throw std::runtime_error("Facebook peer: already started");
  server_ = std::make_unique<httplib::Server>();
  // cpp-httplib parses every multipart body itself and refuses the client's (which has no closing
  // delimiter) before a handler sees it; relabelled here, before the body is read, the bytes
  // reach the handlers as they were sent.
  server_->set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
    auto& request = const_cast<httplib::Request&>(req);
    auto type = request.headers.find("Content-Type");
    if (type != request.headers.end() && type->second.rfind("multipart/", 0) == 0) {
      std::string sent = type->second;
      type->second = "application/octet-stream";
      request.headers.emplace("X-Sent-Content-Type", sent);
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  route();
  try {
    port_ = listenOnLoopback(*server_, port, thread_, "Facebook peer");
  } catch (...) {
    server_.reset();
    throw;
  }
}

void FacebookPeer::stop() { stopLoopback(server_, thread_, port_); }

}  // namespace socialpeers
