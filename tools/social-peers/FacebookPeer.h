#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "PeerLog.h"

namespace httplib {
class Server;
}

namespace socialpeers {

// The fake Facebook peer: the login dialog, the REST session expiry, the Graph identity and feed
// requests and the video upload endpoint, on 127.0.0.1 with a port of its own (0 picks a free
// one). The client reaches it as fb.localhost (libcurl resolves names under "localhost" to the
// loopback), so its cookies stay apart from other fakes'. Every request is logged.
//
// /dialog/oauth             a titled login form and a Cancel link; with the session cookie a 302
//                           to the success redirect at once
// POST /dialog/oauth/login  sets the cookies ("c_user" on "/", the session "xs" on "/dialog") and
//                           redirects (302) to redirect_uri#access_token=T&expires_in=3600
// /method/auth.expireSession  "true"; the access_token given no longer works
// /me                       {"id":"12345"}, or 400 with a JSON error 190 for a token that does not work
// POST /<id>/feed[/]        200, or as set a 403 {"error":{"code":200}} or a 500 page that is not JSON
// POST /restserver.php      logs the raw body
class FacebookPeer {
 public:
  static constexpr const char* kHostName = "fb.localhost";
  static constexpr const char* kUserId = "12345";

  enum class FeedReply { ok, permissionError, serverError };

  FacebookPeer();
  ~FacebookPeer();
  FacebookPeer(const FacebookPeer&) = delete;
  FacebookPeer& operator=(const FacebookPeer&) = delete;

  // Throws std::runtime_error when the port cannot be bound.
  void start(int port = 0);
  void stop();
  int port() const { return port_; }
  // "http://fb.localhost:<port>".
  std::string origin() const;

  // What the next successful login hands out: the token ("T"; may be empty) and expires_in
  // ("3600"; nullopt leaves the parameter out).
  void setAccessToken(std::string token);
  std::string accessToken() const;
  void setExpiresIn(std::optional<std::string> expiresIn);
  // Cancel links to a bare "fbconnect://cancel" unless an error code and message are set.
  void setCancelError(std::optional<std::pair<int, std::string>> error);
  void setFeedReply(FeedReply reply);
  // Back to the answers above; forgets expired tokens, login sessions and the log.
  void reset();
  // Whether the token is the one handed out and has not been expired.
  bool isTokenValid(const std::string& token) const;

  std::vector<PeerRequest> requests() const { return log_.requests(); }
  std::vector<PeerRequest> requestsTo(const std::string& path) const { return log_.requestsTo(path); }
  void clearLog() { log_.clear(); }

 private:
  void route();
  std::string successRedirect(const std::string& redirectURI) const;
  std::string loginPage(const std::string& query) const;

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  PeerLog log_;

  mutable std::mutex mutex_;
  std::string token_ = "T";
  std::optional<std::string> expiresIn_ = "3600";
  std::optional<std::pair<int, std::string>> cancelError_;
  FeedReply feedReply_ = FeedReply::ok;
  std::set<std::string> expiredTokens_;
  std::set<std::string> sessions_;
  int nextSession_ = 1;
};

}  // namespace socialpeers
