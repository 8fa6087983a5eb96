#include "AppAnalytics/Library/MALTCPSocket.h"

#include "Foundation/RunLoop.h"

std::shared_ptr<MALTCPSocket> MALTCPSocket::initWithDelegate(std::weak_ptr<MALTCPSocketDelegate> delegate) {
  delegate_ = std::move(delegate);
  return std::static_pointer_cast<MALTCPSocket>(shared_from_this());
}

// Teardown closes the platform socket itself, whatever a subclass makes of close.
MALTCPSocket::~MALTCPSocket() { MALTCPSocket::close(); }

bool MALTCPSocket::connect(const std::string& host, std::uint16_t port, bool inLine, double timeoutSeconds) {
  if (socket_) return false;
  socket_ = std::make_shared<sc::TCPSocket>();
  if (inLine) {
    if (socket_->connectInLine(host, port, timeoutSeconds)) return true;
    socket_.reset();
    return false;
  }
  std::weak_ptr<MALTCPSocketDelegate> weakDelegate = delegate_;
  std::weak_ptr<MALTCPSocket> weakSelf = std::static_pointer_cast<MALTCPSocket>(shared_from_this());
  return socket_->connectAsync(
      host, port, ns::RunLoop::currentRunLoop(),
      [weakDelegate, weakSelf](sc::TCPSocket&, sc::TCPSocket::Event event, int error) {
        auto self = weakSelf.lock();
        auto delegate = weakDelegate.lock();
        if (!self || !delegate) return;
        switch (event) {
          case sc::TCPSocket::Event::Connected:
            delegate->socketConnectDidSucceed(*self);
            break;
          case sc::TCPSocket::Event::ConnectFailed:
            delegate->socketConnectDidFail(*self, ns::Error::make(ns::kPOSIXErrorDomain, error));
            break;
          case sc::TCPSocket::Event::Readable:
          case sc::TCPSocket::Event::End:
            delegate->socketBecameReadable(*self);
            break;
          case sc::TCPSocket::Event::Writable:
            delegate->socketBecameWritable(*self);
            break;
        }
      });
}

bool MALTCPSocket::readyToRead() const { return socket_ && socket_->readyToRead(); }

bool MALTCPSocket::waitUntilReadable(double timeoutSeconds) const {
  return socket_ && socket_->waitUntilReadable(timeoutSeconds);
}

bool MALTCPSocket::waitUntilWritable(double timeoutSeconds) const {
  return socket_ && socket_->waitUntilWritable(timeoutSeconds);
}

std::int64_t MALTCPSocket::read(std::uint8_t* buffer, std::size_t length) {
  return socket_ ? socket_->read(buffer, length) : -1;
}

std::int64_t MALTCPSocket::send(const std::uint8_t* bytes, std::size_t length) {
  return socket_ ? socket_->send(bytes, length) : -1;
}

void MALTCPSocket::setWantsWritable(bool wants) {
  if (socket_) socket_->setWatchesWritable(wants);
}

void MALTCPSocket::close() {
  if (socket_) socket_->close();
  socket_.reset();
}
