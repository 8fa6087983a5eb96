#pragma once

#include <map>
#include <string>

#include "SampleCatalogue.h"
#include "SampleClips.h"
#include "SampleImages.h"

namespace sampleservice {

// One request as the service sees it.
struct ServiceRequest {
  std::string method;  // HTTP method
  std::string path;
  std::string query;                          // raw, without "?"
  std::map<std::string, std::string> params;  // decoded query parameters
  std::string host;                           // the Host header; links in replies point back to it
};

struct ServiceReply {
  int status = 200;
  std::string contentType = "application/json";
  std::string body;
};

// Answers the service's API ("/api/mobile", "/api/mobile.pl") and the links its replies carry:
// posters and photos, video playlists, segments and files, advertiser pages and click counters, share
// pages. Replies carry ids and values in the types the real service sends (mostly strings).
class Replies {
 public:
  Replies(const Catalogue& catalogue, std::string clipsFolder)
      : catalogue_(catalogue), clips_(std::move(clipsFolder)) {}
  ServiceReply answer(const ServiceRequest& request);

 private:
  const Catalogue& catalogue_;
  ImageCache images_;
  ClipStore clips_;
};

}  // namespace sampleservice
