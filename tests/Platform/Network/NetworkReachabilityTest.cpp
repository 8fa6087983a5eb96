#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "Foundation/RunLoop.h"
#include "Foundation/Thread.h"
#include "Foundation/URLConnection.h"
#include "Network/NetworkReachability.h"
#include "support/RunLoopSpin.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

using testsupport::spinUntil;

TEST(NetworkReachabilityTest, NumericHostsAreToldApartByTheSystemsAddressParsing) {
  struct Case {
    const char* host;
    bool numeric;
  } cases[] = {
      {"127.0.0.1", true},   {"::1", true},    {"[::1]", true},      {"[fe80::1]", true},
      {"10.0.0.256", false}, {"1.2.3", false}, {"localhost", false}, {"example.invalid", false},
      {"[127.0.0.1", false}, {"", false},      {"::1]", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host);
    EXPECT_EQ(sc::NetworkReachability::isNumericHost(c.host), c.numeric);
  }
  EXPECT_EQ(sc::NetworkReachability::createWithName(""), nullptr);
  EXPECT_EQ(sc::NetworkReachability::createWithAddress(nullptr), nullptr);
}

TEST(NetworkReachabilityTest, LoopbackAddressIsReachableAtOnce) {
  sc::NetworkReachabilityFlags flags = 0;
  ASSERT_TRUE(sc::NetworkReachability::createWithName("127.0.0.1")->getFlags(flags));
  EXPECT_EQ(flags, sc::kNetworkReachabilityFlagsReachable);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  flags = 0;
  ASSERT_TRUE(
      sc::NetworkReachability::createWithAddress(reinterpret_cast<sockaddr*>(&address))->getFlags(flags));
  EXPECT_EQ(flags, sc::kNetworkReachabilityFlagsReachable);
}

TEST(NetworkReachabilityTest, NamesAreResolvedOffTheMainThreadAndTheAnswerReportedOnce) {
  struct Case {
    const char* name;
    sc::NetworkReachabilityFlags expected;
  } cases[] = {{"localhost", sc::kNetworkReachabilityFlagsReachable}, {"nosuchhost.invalid", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto target = sc::NetworkReachability::createWithName(c.name);
    std::vector<sc::NetworkReachabilityFlags> reports;
    bool onMain = true;
    target->setCallback([&](sc::NetworkReachability&, sc::NetworkReachabilityFlags flags) {
      reports.push_back(flags);
      onMain = onMain && ns::Thread::isMainThread();
    });
    sc::NetworkReachabilityFlags flags = 99;
    EXPECT_FALSE(target->getFlags(flags));  // not known yet, and the main thread does not wait
    ASSERT_TRUE(target->scheduleWithRunLoop(ns::RunLoop::mainRunLoop(), ns::kRunLoopCommonModes));
    ASSERT_TRUE(spinUntil([&] { return !reports.empty(); }));
    EXPECT_EQ(reports.front(), c.expected);
    EXPECT_TRUE(onMain);
    ASSERT_TRUE(target->getFlags(flags));
    EXPECT_EQ(flags, c.expected);
    EXPECT_TRUE(target->unscheduleFromRunLoop(ns::RunLoop::mainRunLoop(), ns::kRunLoopCommonModes));
    EXPECT_FALSE(target->unscheduleFromRunLoop(ns::RunLoop::mainRunLoop(), ns::kRunLoopCommonModes));
  }
}

TEST(NetworkReachabilityTest, ANumericHostsStartingFlagsAreNotReported) {
  auto target = sc::NetworkReachability::createWithName("127.0.0.1");
  int reports = 0;
  target->setCallback([&](sc::NetworkReachability&, sc::NetworkReachabilityFlags) { ++reports; });
  ASSERT_TRUE(target->scheduleWithRunLoop(ns::RunLoop::mainRunLoop(), ns::kRunLoopCommonModes));
  bool later = false;
  ns::RunLoop::mainRunLoop()->performBlock([&] { later = true; });
  ASSERT_TRUE(spinUntil([&] { return later; }));
  EXPECT_EQ(reports, 0);
}

// Runs only inside the private network namespace that the next test makes for it.
bool setLoopback(bool up) {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq request{};
  std::strcpy(request.ifr_name, "lo");
  bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  if (up)
    request.ifr_flags |= IFF_UP;
  else
    request.ifr_flags &= ~IFF_UP;
  ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  ::close(fd);
  return ok;
}

struct FailureOnly : ns::URLConnectionDelegate {
  ns::ErrorPtr error;
  bool done = false;
  void connectionDidFailWithError(const ns::URLConnectionPtr&, const ns::ErrorPtr& e) override {
    error = e;
    done = true;
  }
  void connectionDidFinishLoading(const ns::URLConnectionPtr&) override { done = true; }
};

TEST(NetworkReachabilityNamespaceTest, DISABLED_ChildInAPrivateNetwork) {
  if (!std::getenv("VCC_NETNS_CHILD")) GTEST_SKIP() << "started by SeesTheLoopbackGoDownAndUp";
  // A fresh namespace (its loopback is down), made while this process has a single thread.
  if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0 && ::unshare(CLONE_NEWNET) != 0) ::_exit(77);
  if (!setLoopback(false)) ::_exit(77);

  auto target = sc::NetworkReachability::createWithName("127.0.0.1");
  sc::NetworkReachabilityFlags flags = 99;
  ASSERT_TRUE(target->getFlags(flags));
  EXPECT_EQ(flags, 0u);
  std::vector<sc::NetworkReachabilityFlags> reports;
  target->setCallback(
      [&](sc::NetworkReachability&, sc::NetworkReachabilityFlags f) { reports.push_back(f); });
  ASSERT_TRUE(target->scheduleWithRunLoop(ns::RunLoop::mainRunLoop(), ns::kDefaultRunLoopMode));
  ASSERT_TRUE(setLoopback(true));
  ASSERT_TRUE(spinUntil([&] { return reports.size() >= 1; }, 60));
  ASSERT_TRUE(setLoopback(false));
  ASSERT_TRUE(spinUntil([&] { return reports.size() >= 2; }, 60));
  EXPECT_EQ(reports, (std::vector<sc::NetworkReachabilityFlags>{sc::kNetworkReachabilityFlagsReachable, 0u}));

  // No route at all: the connection reports that the network is unreachable.
  auto delegate = std::make_shared<FailureOnly>();
  ns::URLConnection::connectionWithRequest(
      ns::URLRequest::requestWithURL(ns::URL::URLWithString("http://10.1.2.3/")), delegate);
  ASSERT_TRUE(spinUntil([&] { return delegate->done; }, 60));
  ASSERT_NE(delegate->error, nullptr);
  EXPECT_EQ(delegate->error->code(), ns::URLError::NotConnectedToInternet);
}

TEST(NetworkReachabilityNamespaceTest, SeesTheLoopbackGoDownAndUp) {
  testsupport::TempDir tmp;
  std::string output = tmp.file("child.log");
  std::vector<std::string> args = {
      "/proc/self/exe", "--gtest_also_run_disabled_tests",
      "--gtest_filter=NetworkReachabilityNamespaceTest.DISABLED_ChildInAPrivateNetwork"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = {"VCC_NETNS_CHILD=1"};
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t child = 0;
  int spawned = posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ASSERT_EQ(spawned, 0);
  int status = 0;
  bool ended = spinUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 180);
  if (!ended) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
  }
  std::stringstream log;
  log << std::ifstream(output).rdbuf();
  ASSERT_TRUE(WIFEXITED(status)) << log.str();
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "private network namespaces are refused here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << log.str();
}

}  // namespace
