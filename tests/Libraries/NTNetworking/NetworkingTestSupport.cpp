#include "NetworkingTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Foundation/DataFile.h"
#include "Foundation/String.h"

namespace nttest {

int closedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

std::string fileContents(const std::string& path) {
  auto data = ns::dataWithContentsOfFile(path);
  return data ? data->toString() : std::string();
}

std::string sha256(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  return ns::hexString(std::string_view(reinterpret_cast<const char*>(digest), length));
}

std::string patternedBody(std::size_t length) {
  std::string body(length, '\0');
  for (std::size_t i = 0; i < length; ++i) body[i] = static_cast<char>((i * 7 + (i >> 10)) & 0xff);
  return body;
}

void Gate::open() const {
  std::lock_guard lock(state_->mutex);
  state_->open = true;
  state_->opened.notify_all();
}

testsupport::Reply stalledBody(std::size_t length, std::size_t stallAt, const Gate& gate) {
  testsupport::Reply r;
  r.contentType = "application/octet-stream";
  r.chunkSize = 8192;
  r.generatedLength = length;
  r.generatedByte = [body = std::make_shared<std::string>(patternedBody(length)), stallAt,
                     wait = gate.waiter()](std::size_t offset) {
    if (offset == stallAt) wait();
    return (*body)[offset];
  };
  return r;
}

NotificationCounter::NotificationCounter(const NTURLConnectionOperationPtr& operation) {
  auto center = ns::NotificationCenter::defaultCenter();
  const ns::Object* identity = operation.get();
  auto count = [identity](std::shared_ptr<std::atomic<int>> counter) {
    return [identity, counter](const ns::Notification& n) {
      if (n.object.asObject().get() == identity) ++*counter;
    };
  };
  startToken_ = center->addObserverForName(NTNetworkingOperationDidStartNotification, {}, count(starts_));
  finishToken_ = center->addObserverForName(NTNetworkingOperationDidFinishNotification, {}, count(finishes_));
}

NotificationCounter::~NotificationCounter() {
  auto center = ns::NotificationCenter::defaultCenter();
  center->removeObserver(startToken_);
  center->removeObserver(finishToken_);
}

}  // namespace nttest
