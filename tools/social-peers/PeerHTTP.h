#pragma once

// Helpers the fakes share; only their .cpp files include this (it brings the HTTP server in).
#include <httplib.h>

#include <memory>
#include <string>
#include <thread>

#include "PeerLog.h"

namespace socialpeers {

// The request as the fake received it, for its log.
PeerRequest recordRequest(const httplib::Request& req);
// Text made safe inside HTML and its attribute values.
std::string escapeHTML(const std::string& text);
// One cookie of the request's Cookie header; empty when absent.
std::string requestCookie(const httplib::Request& req, const std::string& name);
// Binds 127.0.0.1 (port 0: a free one), starts serving on a thread of its own and returns the port;
// throws std::runtime_error naming the fake when the port cannot be bound. Connections send
// without waiting for acknowledgements (TCP_NODELAY).
int listenOnLoopback(httplib::Server& server, int port, std::thread& thread, const char* fake);
// Stops a started fake's server and its thread; nothing for one that is not running.
void stopLoopback(std::unique_ptr<httplib::Server>& server, std::thread& thread, int port);

}  // namespace socialpeers
