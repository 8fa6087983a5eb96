#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "Foundation/RunLoop.h"
#include "Foundation/Thread.h"
#include "Network/TCPSocket.h"
#include "support/LoopbackResolver.h"
#include "support/RunLoopSpin.h"
#include "support/ScriptedTCPServer.h"

namespace {

// A host name with several addresses, as a hosts file or DNS gives one.
constexpr const char* kTestHost = "several-addresses.test";

using testsupport::ScriptedTCPServer;
using testsupport::ScriptStep;
using testsupport::spinUntil;
using Event = sc::TCPSocket::Event;

struct Recorded {
  std::vector<Event> events;
  std::vector<int> errors;
  bool allOnMainThread = true;
  std::size_t count(Event e) const {
    return static_cast<std::size_t>(std::count(events.begin(), events.end(), e));
  }
};

sc::TCPSocket::EventHandler recorder(Recorded& r) {
  return [&r](sc::TCPSocket&, Event event, int error) {
    r.events.push_back(event);
    r.errors.push_back(error);
    r.allOnMainThread = r.allOnMainThread && ns::Thread::isMainThread();
  };
}

std::string readAll(sc::TCPSocket& socket) {
  std::string text;
  std::uint8_t buffer[256];
  for (std::int64_t n; (n = socket.read(buffer, sizeof buffer)) > 0;)
    text.append(reinterpret_cast<char*>(buffer), n);
  return text;
}

TEST(TCPSocketTest, ConnectsByNameOrNumberAndReportsDataThenTheEndOnce) {
  for (const char* host : {"127.0.0.1", "localhost"}) {
    SCOPED_TRACE(host);
    ScriptedTCPServer server;
    server.setScript({ScriptStep::replyAndClose("pong")});
    auto socket = std::make_shared<sc::TCPSocket>();
    Recorded r;
    ASSERT_TRUE(socket->connectAsync(host, static_cast<std::uint16_t>(server.port()),
                                     ns::RunLoop::currentRunLoop(), recorder(r)));
    // Nothing is reported from inside the call, not even for a numeric host.
    EXPECT_TRUE(r.events.empty());
    EXPECT_FALSE(socket->connectAsync(host, 1, ns::RunLoop::currentRunLoop(), recorder(r)));
    ASSERT_TRUE(spinUntil([&] { return !r.events.empty(); }));
    ASSERT_EQ(r.events.front(), Event::Connected);
    EXPECT_TRUE(socket->isConnected());

    std::string request = "GET / HTTP/1.1\r\n\r\n";
    EXPECT_EQ(socket->send(reinterpret_cast<const std::uint8_t*>(request.data()), request.size()),
              static_cast<std::int64_t>(request.size()));
    std::string received;
    ASSERT_TRUE(spinUntil([&] {
      if (r.count(Event::Readable) > 0) received += readAll(*socket);
      return r.count(Event::End) > 0;
    }));
    received += readAll(*socket);
    EXPECT_EQ(received, "pong");
    EXPECT_EQ(server.receivedOn(0), request);
    std::uint8_t byte;
    EXPECT_EQ(socket->read(&byte, 1), 0);
    // The end stays readable, but is reported once.
    for (int i = 0; i < 20; ++i) ns::RunLoop::currentRunLoop()->runOnce(0.001);
    EXPECT_EQ(r.count(Event::End), 1u);
    EXPECT_TRUE(r.allOnMainThread);
    socket->close();
    EXPECT_EQ(socket->read(&byte, 1), -1);
    EXPECT_EQ(socket->send(&byte, 1), -1);
  }
}

TEST(TCPSocketTest, ConnectFailuresArriveAsEventsWithTheReason) {
  struct Case {
    const char* host;
    std::uint16_t port;
    int error;  // 0: any
  } cases[] = {{"127.0.0.1", ScriptedTCPServer::closedPort(), ECONNREFUSED},
               {"nosuchhost.invalid", 80, 0},
               {"", 80, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host);
    auto socket = std::make_shared<sc::TCPSocket>();
    Recorded r;
    ASSERT_TRUE(socket->connectAsync(c.host, c.port, ns::RunLoop::currentRunLoop(), recorder(r)));
    ASSERT_TRUE(spinUntil([&] { return !r.events.empty(); }));
    ASSERT_EQ(r.events, std::vector<Event>{Event::ConnectFailed});
    EXPECT_NE(r.errors.front(), 0);
    if (c.error) {
      EXPECT_EQ(r.errors.front(), c.error);
    }
    EXPECT_FALSE(socket->isConnected());
    // A failed socket can be used again.
    EXPECT_TRUE(socket->connectAsync("127.0.0.1", c.port, ns::RunLoop::currentRunLoop(), nullptr));
    socket->close();
  }
}

// A host with several addresses is tried address by address, in the resolver's order, until one
// takes the connection; only when none does is the connection refused.
TEST(TCPSocketTest, EveryAddressOfTheHostIsTriedInTurn) {
  struct Case {
    const char* name;
    std::vector<std::string> addresses;  // nothing listens on ::1 or 127.0.0.2 at the port
    bool connects;
  };
  const Case cases[] = {{"the second", {"::1", "127.0.0.1"}, true},
                        {"the third", {"127.0.0.2", "::1", "127.0.0.1"}, true},
                        {"none", {"::1", "127.0.0.2"}, false}};
  for (const Case& c : cases) {
    for (bool inLine : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (inLine ? ", in line" : ", on the run loop"));
      testsupport::setHostAddresses(kTestHost, c.addresses);
      ScriptedTCPServer server;
      server.setScript({ScriptStep::replyAndClose("pong")});
      auto port = static_cast<std::uint16_t>(server.port());
      auto socket = std::make_shared<sc::TCPSocket>();
      if (inLine) {
        int error = 0;
        EXPECT_EQ(socket->connectInLine(kTestHost, port, 10, &error), c.connects);
        if (!c.connects) {
          EXPECT_EQ(error, ECONNREFUSED);
        }
      } else {
        Recorded r;
        ASSERT_TRUE(socket->connectAsync(kTestHost, port, ns::RunLoop::currentRunLoop(), recorder(r)));
        ASSERT_TRUE(spinUntil([&] { return !r.events.empty(); }));
        ASSERT_EQ(r.events.front(), c.connects ? Event::Connected : Event::ConnectFailed);
        if (!c.connects) {
          EXPECT_EQ(r.errors.front(), ECONNREFUSED);
        }
      }
      EXPECT_EQ(socket->isConnected(), c.connects);
      if (c.connects) {
        EXPECT_TRUE(spinUntil([&] { return server.connectionCount() == 1; }));
      } else {
        EXPECT_EQ(server.connectionCount(), 0u);
      }
      socket->close();
    }
  }
}

// Sending to a peer that has gone is an error the caller sees, never a signal that ends the
// process (whatever the process does with SIGPIPE otherwise).
TEST(TCPSocketTest, SendingToAClosedPeerFailsWithoutASignal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (bool inLine : {false, true}) {
    SCOPED_TRACE(inLine ? "in line" : "on the run loop");
    ScriptedTCPServer server;
    // The peer closes as soon as the connection is open.
    server.setScript({ScriptStep::replyAndClose("")});
    server.appendStep([] {
      ScriptStep s = ScriptStep::replyAndClose("");
      s.afterRequest = false;
      return s;
    }());
    auto port = static_cast<std::uint16_t>(server.port());
    EXPECT_EXIT(
        {
          ::signal(SIGPIPE, SIG_DFL);
          auto socket = std::make_shared<sc::TCPSocket>();
          if (inLine) {
            if (!socket->connectInLine("127.0.0.1", port, 10)) std::exit(2);
          } else {
            Recorded r;
            socket->connectAsync("127.0.0.1", port, ns::RunLoop::currentRunLoop(), recorder(r));
            if (!spinUntil([&] { return r.count(Event::Connected) == 1; })) std::exit(2);
          }
          const std::string request = "GET / HTTP/1.1\r\n\r\n";
          for (int i = 0; i < 1000; ++i) {
            if (socket->send(reinterpret_cast<const std::uint8_t*>(request.data()), request.size()) < 0)
              std::exit(0);
            socket->waitUntilReadable(0.01);
          }
          std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
  }
}

TEST(TCPSocketTest, AFullSendBufferTakesPartOfAWriteAndReportsRoomLater) {
  testsupport::ScriptedTCPServerOptions options;
  options.receiveBufferBytes = 4096;
  options.readPauseSeconds = 0.3;
  ScriptedTCPServer server(options);
  auto socket = std::make_shared<sc::TCPSocket>();
  Recorded r;
  ASSERT_TRUE(socket->connectAsync("127.0.0.1", static_cast<std::uint16_t>(server.port()),
                                   ns::RunLoop::currentRunLoop(), recorder(r)));
  ASSERT_TRUE(spinUntil([&] { return r.count(Event::Connected) == 1; }));
  const std::string payload(16 * 1024 * 1024, 'x');
  std::size_t sent = 0;
  bool partial = false;
  while (sent < payload.size()) {
    std::int64_t n =
        socket->send(reinterpret_cast<const std::uint8_t*>(payload.data()) + sent, payload.size() - sent);
    ASSERT_GE(n, 0);
    sent += static_cast<std::size_t>(n);
    if (n == 0 || sent < payload.size()) {
      partial = true;
      break;
    }
  }
  ASSERT_TRUE(partial) << "the kernel took 16 MiB at once";
  EXPECT_EQ(r.count(Event::Writable), 0u);  // not watched yet
  socket->setWatchesWritable(true);
  ASSERT_TRUE(spinUntil(
      [&] {
        if (r.count(Event::Writable) > 0 && sent < payload.size()) {
          std::int64_t n = socket->send(reinterpret_cast<const std::uint8_t*>(payload.data()) + sent,
                                        payload.size() - sent);
          if (n > 0) sent += static_cast<std::size_t>(n);
        }
        return server.bytesReceived() == payload.size();
      },
      120));
  EXPECT_GT(r.count(Event::Writable), 0u);
}

TEST(TCPSocketTest, InLineConnectionsArePolledWithoutARunLoop) {
  ScriptedTCPServer server;
  server.setScript({ScriptStep::reply("pong")});
  sc::TCPSocket socket;
  int error = 0;
  ASSERT_TRUE(socket.connectInLine("localhost", static_cast<std::uint16_t>(server.port()), 10, &error));
  EXPECT_FALSE(socket.readyToRead());
  std::uint8_t byte;
  EXPECT_EQ(socket.read(&byte, 1), sc::TCPSocket::kWouldBlock);
  std::string request = "GET / HTTP/1.1\r\n\r\n";
  ASSERT_EQ(socket.send(reinterpret_cast<const std::uint8_t*>(request.data()), request.size()),
            static_cast<std::int64_t>(request.size()));
  ASSERT_TRUE(socket.waitUntilReadable(30));
  EXPECT_EQ(readAll(socket), "pong");
  EXPECT_TRUE(socket.waitUntilWritable(0));
  EXPECT_FALSE(socket.connectInLine("127.0.0.1", static_cast<std::uint16_t>(server.port()), 10, &error));
  EXPECT_EQ(error, EISCONN);

  sc::TCPSocket refused;
  EXPECT_FALSE(refused.connectInLine("127.0.0.1", ScriptedTCPServer::closedPort(), 10, &error));
  EXPECT_EQ(error, ECONNREFUSED);
  EXPECT_FALSE(refused.readyToRead());
}

TEST(TCPSocketTest, ClosingInsideTheHandlerStopsEveryLaterEvent) {
  ScriptedTCPServer server;
  server.setScript({ScriptStep::reply("pong")});
  auto socket = std::make_shared<sc::TCPSocket>();
  Recorded r;
  ASSERT_TRUE(socket->connectAsync("127.0.0.1", static_cast<std::uint16_t>(server.port()),
                                   ns::RunLoop::currentRunLoop(),
                                   [&](sc::TCPSocket& s, Event event, int error) {
                                     recorder(r)(s, event, error);
                                     if (event == Event::Readable) s.close();
                                   }));
  ASSERT_TRUE(spinUntil([&] { return r.count(Event::Connected) == 1; }));
  std::string request = "GET / HTTP/1.1\r\n\r\n";
  socket->send(reinterpret_cast<const std::uint8_t*>(request.data()), request.size());
  ASSERT_TRUE(spinUntil([&] { return r.count(Event::Readable) == 1; }));
  for (int i = 0; i < 20; ++i) ns::RunLoop::currentRunLoop()->runOnce(0.001);
  EXPECT_EQ(r.events, (std::vector<Event>{Event::Connected, Event::Readable}));
  EXPECT_FALSE(socket->isConnected());

  // A connection dropped before the name is resolved reports nothing.
  Recorded late;
  auto dropped = std::make_shared<sc::TCPSocket>();
  ASSERT_TRUE(dropped->connectAsync("localhost", static_cast<std::uint16_t>(server.port()),
                                    ns::RunLoop::currentRunLoop(), recorder(late)));
  dropped->close();
  for (int i = 0; i < 50; ++i) ns::RunLoop::currentRunLoop()->runOnce(0.002);
  EXPECT_TRUE(late.events.empty());
}

}  // namespace
