#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "support/LoopbackServer.h"

namespace testsupport {

// A gzip stream of `megabytes` MB of zero bytes, about a thousandth of that long: what makes a
// client that inflates before it counts hold far more than it reads. Made in milliseconds from one
// compressed megabyte repeated, whatever the length.
std::shared_ptr<const std::string> gzippedZeros(std::size_t megabytes);

// A reply carrying such a stream as it is, with Content-Encoding: gzip and its length announced (the
// compressed one, well within any bound), sent in pieces. A gigabyte by default; 64 GB or more make
// a stream longer than the loopback's socket buffers can grow, so a client that hangs up is seen to.
Reply gzippedZerosReply(std::string contentType, std::size_t megabytes = 1024);

// A reply carrying `bytes` gzipped, with Content-Encoding: gzip, sent as it is; `keep` cuts the
// stream to that many of its bytes (and announces that length), as a server that stops short does.
Reply gzippedReply(std::string contentType, std::string_view bytes, std::size_t keep = SIZE_MAX);

// A mid-grey 8-bit grey PNG of width x height pixels, with a text chunk of `padding` bytes after its
// header: a few kilobytes however large (its rows deflate to almost nothing), made without ever
// holding its pixels.
std::string greyPNG(int width, int height, std::size_t padding = 0);

}  // namespace testsupport
