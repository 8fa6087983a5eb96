#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "PeerLog.h"

namespace httplib {
class Server;
}

namespace socialpeers {

// The fake VKontakte peer: the OAuth login page with an implicit token and the wall-post method,
// on 127.0.0.1 with a port of its own (0 picks a free one). The client reaches it as
// vk.localhost, so its cookies stay apart from the Facebook fake's. Every request is logged.
//
// GET /oauth/authorize   with client_id=<id>&scope=8192&redirect_uri=http://vk.localhost:<port>
//                        /blank.html&display=touch&response_type=token (else 400): a titled login
//                        form and a Cancel link; with the login cookie a 302 to the token at once
// POST /oauth/login      the right password sets the login cookie (Domain=vk.localhost) and
//                        redirects (302) to /blank.html#access_token=T&expires_in=86400&user_id=1;
//                        a wrong one answers the form again (200)
// Cancel                 /blank.html#error=access_denied&error_reason=user_denied
// GET /blank.html        empty
// GET /method/wall.post  {"response":{"post_id":N}}, or {"error":{...}} for a token not handed out
class VkontaktePeer {
 public:
  static constexpr const char* kHostName = "vk.localhost";
  static constexpr const char* kCookieName = "remixsid";

  VkontaktePeer();
  ~VkontaktePeer();
  VkontaktePeer(const VkontaktePeer&) = delete;
  VkontaktePeer& operator=(const VkontaktePeer&) = delete;

  // Throws std::runtime_error when the port cannot be bound.
  void start(int port = 0);
  void stop();
  int port() const { return port_; }
  // "http://vk.localhost:<port>".
  std::string origin() const;

  // The client id the authorisation page expects ("1000001").
  void setClientId(std::string clientId);
  // The password the login form takes ("secret"); any e-mail goes.
  void setPassword(std::string password);
  std::string password() const;
  // Back to the settings above; forgets tokens, login sessions and the log.
  void reset();
  // Each login hands out the next token: the prefix ("T"), then prefix "2", prefix "3", ...
  void setTokenPrefix(std::string prefix);
  bool isTokenValid(const std::string& token) const;
  // Every token handed out so far stops working.
  void revokeTokens();
  std::vector<std::string> handedOutTokens() const;

  std::vector<PeerRequest> requests() const { return log_.requests(); }
  std::vector<PeerRequest> requestsTo(const std::string& path) const { return log_.requestsTo(path); }
  void clearLog() { log_.clear(); }

 private:
  void route();
  bool validAuthorizeQuery(const PeerRequest& request) const;
  std::string loginPage(const std::string& query, bool wrongPassword) const;
  std::string tokenRedirect();

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  PeerLog log_;

  mutable std::mutex mutex_;
  std::string clientId_ = "1000001";
  std::string password_ = "secret";
  std::string tokenPrefix_ = "T";
  std::vector<std::string> tokens_;
  std::size_t revoked_ = 0;  // tokens before this index no longer work
  std::set<std::string> sessions_;
  int nextSession_ = 1;
  int nextPost_ = 1;
};

}  // namespace socialpeers
