#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Foundation/Object.h"
#include "Foundation/RunLoop.h"

namespace sc {

// A TCP connection to a host and port, standing in for the platform's socket stream pair.
// Connected either on a run loop (the name resolved on a worker thread, the non-blocking connect
// watched there, events delivered on that loop, never from inside the call that caused them) or
// in line, blocking the caller up to a time limit. Once connected the socket never blocks: send
// takes what fits and read what has arrived. One thread uses a socket.
class TCPSocket final : public ns::Object {
 public:
  enum class Event {
    Connected,      // the connection is open; error is 0
    ConnectFailed,  // no address of the host took the connection; error says why
    Readable,       // bytes have arrived
    Writable,       // there is room to send (only while watchWritable is on)
    End,            // the peer closed its side, or the connection broke (error set); reported once
  };
  using EventHandler = std::function<void(TCPSocket& socket, Event event, int error)>;

  // read() when nothing has arrived yet.
  static constexpr std::int64_t kWouldBlock = -2;
  // One resolved address of the host (its definition stays with the system headers).
  struct Address;

  TCPSocket();
  ~TCPSocket() override;
  TCPSocket(const TCPSocket&) = delete;
  TCPSocket& operator=(const TCPSocket&) = delete;

  // Starts connecting; the outcome and every later event come to handler on runLoop. False when
  // the socket is already open or connecting, or there is no run loop.
  bool connectAsync(const std::string& host, std::uint16_t port, const std::shared_ptr<ns::RunLoop>& runLoop,
                    EventHandler handler);
  // Resolves and connects on the calling thread, giving up after timeoutSeconds of real time.
  // False with an errno value in *error when no address took the connection.
  bool connectInLine(const std::string& host, std::uint16_t port, double timeoutSeconds,
                     int* error = nullptr);

  bool isConnected() const { return connected_; }

  // Bytes placed in buffer (> 0), 0 at the end of the stream, kWouldBlock when nothing has
  // arrived, -1 on an error or when not connected.
  std::int64_t read(std::uint8_t* buffer, std::size_t maxLength);
  // Bytes taken (0 when the send buffer is full), or -1 on an error or when not connected. A
  // closed peer is an error, never a signal.
  std::int64_t send(const std::uint8_t* bytes, std::size_t length);

  // Whether a read would not wait (bytes, the end or an error): a poll that does not wait.
  bool readyToRead() const { return waitUntilReadable(0); }
  // The same, waiting up to timeoutSeconds of real time.
  bool waitUntilReadable(double timeoutSeconds) const;
  bool waitUntilWritable(double timeoutSeconds) const;

  // Whether Writable events are delivered (asynchronous sockets only; off at first).
  void setWatchesWritable(bool watch);

  // Stops every event, drops a connection in progress and closes the descriptor. Safe to call
  // more than once, and from inside the event handler.
  void close();

 private:
  void startConnecting(std::shared_ptr<std::vector<Address>> addresses, std::size_t next, int lastError);
  void connectingEvent(short revents);
  void connectedEvent(short revents);
  void watch();
  void unwatch();
  void deliver(Event event, int error);
  void closeDescriptor();

  std::shared_ptr<ns::RunLoop> runLoop_;
  EventHandler handler_;
  int fd_ = -1;
  bool connecting_ = false;
  bool connected_ = false;
  bool watchWritable_ = false;
  bool endReported_ = false;
  ns::RunLoop::SourceId source_ = 0;
  // Bumped by close(): results of an earlier resolution or connection attempt are then ignored.
  std::uint64_t generation_ = 0;
  std::shared_ptr<std::vector<Address>> addresses_;
  std::size_t nextAddress_ = 0;
};

using TCPSocketPtr = std::shared_ptr<TCPSocket>;

}  // namespace sc
