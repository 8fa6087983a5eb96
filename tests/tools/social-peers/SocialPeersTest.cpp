// How the stand-in social services serve their connections.
#include <gtest/gtest.h>
#include <httplib.h>

#include <vector>

#include "FacebookPeer.h"
#include "LoopbackConnections.h"
#include "VkontaktePeer.h"

namespace {

// Starts the peer, asks it for the path over a kept-alive connection (which stays open after its
// answer, so its options can be read) and expects every connection it accepted to send at once.
template <class Peer>
void expectConnectionsWithoutDelay(Peer& peer, const char* path) {
  peer.start();
  httplib::Client client("127.0.0.1", peer.port());
  client.set_keep_alive(true);
  client.set_read_timeout(30, 0);
  ASSERT_TRUE(client.Get(path));
  std::vector<int> accepted = loopback::connectionsAcceptedOn(peer.port());
  EXPECT_FALSE(accepted.empty());
  for (int fd : accepted) EXPECT_TRUE(loopback::sendsWithoutDelay(fd)) << "connection " << fd;
  peer.stop();
}

// An answer's head and body leave in separate writes: unless the connection sends at once, the
// body waits for the client's delayed acknowledgement of the head.
TEST(SocialPeersTest, ConnectionsSendWithoutWaitingForAcknowledgements) {
  {
    SCOPED_TRACE("VKontakte");
    socialpeers::VkontaktePeer vk;
    expectConnectionsWithoutDelay(vk, "/blank.html");
  }
  {
    SCOPED_TRACE("Facebook");
    socialpeers::FacebookPeer fb;
    expectConnectionsWithoutDelay(fb, "/me?fields=id&access_token=T");
  }
}

}  // namespace
