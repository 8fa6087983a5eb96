#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Network/TCPSocket.h"

class MALTCPSocket;

class MALTCPSocketDelegate {
 public:
  virtual ~MALTCPSocketDelegate() = default;
  virtual void socketConnectDidSucceed(MALTCPSocket& socket) = 0;
  virtual void socketConnectDidFail(MALTCPSocket& socket, const ns::ErrorPtr& error) = 0;
  // Bytes, the end or an error wait to be read.
  virtual void socketBecameReadable(MALTCPSocket& socket) = 0;
  // There is room again for bytes a send did not take.
  virtual void socketBecameWritable(MALTCPSocket& socket) = 0;
};

// The dispatcher's connection to the collection host. Connected not in line, its events come
// through the run loop of the connecting thread; connected in line, it is polled by its owner.
// A dispatcher can be given another kind of socket (MALDataDispatcher::injectSocketClass).
class MALTCPSocket : public ns::Object {
 public:
  std::shared_ptr<MALTCPSocket> initWithDelegate(std::weak_ptr<MALTCPSocketDelegate> delegate);
  ~MALTCPSocket() override;

  // Not in line: false only when the socket is already connected or connecting; the outcome
  // comes to the delegate. In line: blocks up to timeoutSeconds, and says whether it connected.
  virtual bool connect(const std::string& host, std::uint16_t port, bool inLine, double timeoutSeconds = 60);
  virtual bool readyToRead() const;
  virtual bool waitUntilReadable(double timeoutSeconds) const;
  virtual bool waitUntilWritable(double timeoutSeconds) const;
  // Bytes read, 0 at the end, sc::TCPSocket::kWouldBlock when nothing has arrived, -1 on an error.
  virtual std::int64_t read(std::uint8_t* buffer, std::size_t length);
  // Bytes taken (0 when there is no room now), -1 on an error.
  virtual std::int64_t send(const std::uint8_t* bytes, std::size_t length);
  // socketBecameWritable is sent only while this is on.
  virtual void setWantsWritable(bool wants);
  virtual void close();

 private:
  std::weak_ptr<MALTCPSocketDelegate> delegate_;
  sc::TCPSocketPtr socket_;
};

using MALTCPSocketPtr = std::shared_ptr<MALTCPSocket>;

// Makes a dispatcher's sockets, not yet initialised: the dispatcher calls initWithDelegate.
using MALTCPSocketClass = std::function<MALTCPSocketPtr()>;
