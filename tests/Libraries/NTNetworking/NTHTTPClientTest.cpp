#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Exception.h"
#include "Foundation/KeyedArchiver.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/PropertyList.h"
#include "Foundation/String.h"
#include "Foundation/Thread.h"
#include "NTNetworking/NTHTTPClient.h"
#include "NTNetworking/NTJSONRequestOperation.h"
#include "NTNetworking/NTPropertyListRequestOperation.h"
#include "NTNetworking/NTXMLRequestOperation.h"
#include "NetworkingTestSupport.h"
#include "UIKit/Device.h"
#include "support/LogCapture.h"
#include "support/LoopbackServer.h"
#include "support/RunLoopSpin.h"

namespace {

using ns::Dictionary;
using ns::Value;

NTHTTPClientPtr clientFor(const std::string& url) {
  return NTHTTPClient::clientWithBaseURL(ns::URL::URLWithString(url));
}

std::string reasonOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const ns::Exception& e) {
    return e.reason();
  }
  return "";
}

std::string bodyOf(const ns::URLRequestPtr& request) {
  return request->HTTPBody() ? request->HTTPBody()->toString() : std::string("<none>");
}

TEST(NTHTTPClientTest, BaseURLGetsATrailingSlashOnlyWhenItHasAPath) {
  struct Case {
    const char* given;
    const char* base;
  } cases[] = {
      {"http://graph.example/a/feed", "http://graph.example/a/feed/"},
      {"http://graph.example/a/feed/", "http://graph.example/a/feed/"},
      {"http://graph.example", "http://graph.example"},
      {"http://graph.example/", "http://graph.example/"},
  };
  for (const auto& c : cases) EXPECT_EQ(clientFor(c.given)->baseURL().absoluteString(), c.base) << c.given;
  EXPECT_EQ(reasonOf([] { NTHTTPClient::clientWithBaseURL(std::nullopt); }),
            "Invalid parameter not satisfying: url");
}

TEST(NTHTTPClientTest, PutsParametersInTheQueryOrTheBodyByMethodAndEncoding) {
  struct Case {
    const char* name;
    std::string method;
    std::optional<std::string> path;
    std::optional<Dictionary> parameters;
    int encoding;
    std::string url;
    std::optional<std::string> contentType;
    std::string body;
  } cases[] = {
      {"GET without parameters", "GET", "search", std::nullopt, 0, "http://h.example/api/search",
       std::nullopt, "<none>"},
      {"GET appends a query", "GET", "search", Dictionary{{"q", "a b"}}, 0,
       "http://h.example/api/search?q=a%20b", std::nullopt, "<none>"},
      {"GET with a query in the path uses &", "GET", "search?x=1", Dictionary{{"q", 1}}, 0,
       "http://h.example/api/search?x=1&q=1", std::nullopt, "<none>"},
      {"GET with empty parameters ends in ?", "GET", "", Dictionary{}, 0, "http://h.example/api/?",
       std::nullopt, "<none>"},
      {"absent path is the base URL", "GET", std::nullopt, std::nullopt, 0, "http://h.example/api/",
       std::nullopt, "<none>"},
      {"HEAD", "HEAD", "x", Dictionary{{"a", 1}}, 0, "http://h.example/api/x?a=1", std::nullopt, "<none>"},
      {"DELETE", "DELETE", "item/5", Dictionary{{"a", 1}}, 0, "http://h.example/api/item/5?a=1", std::nullopt,
       "<none>"},
      {"GET escapes the brackets of arrays, nested dictionaries and values", "GET", "s",
       Dictionary{{"ids", ns::Array{1, 2}}, {"user", Dictionary{{"name", "[x]"}}}}, 0,
       "http://h.example/api/s?ids%5B%5D=1&ids%5B%5D=2&user%5Bname%5D=%5Bx%5D", std::nullopt, "<none>"},
      {"a POST body keeps its brackets", "POST", "s", Dictionary{{"ids", ns::Array{1}}}, 0,
       "http://h.example/api/s", "application/x-www-form-urlencoded; charset=utf-8", "ids[]=1"},
      {"lower-case get goes in the body", "get", "x", Dictionary{{"a", 1}}, 0, "http://h.example/api/x",
       "application/x-www-form-urlencoded; charset=utf-8", "a=1"},
      {"feed post, keys sorted", "POST", "",
       Dictionary{{"message", "Смотри"}, {"access_token", "T0K"}, {"link", "http://v.example/t/1"}}, 0,
       "http://h.example/api/", "application/x-www-form-urlencoded; charset=utf-8",
       "access_token=T0K&link=http%3A%2F%2Fv.example%2Ft%2F1&message=%D0%A1%D0%BC%D0%BE%D1%82%D1%80%D0%B8"},
      {"keys sorted ignoring case", "POST", "", Dictionary{{"B", 2}, {"a", 1}}, 0, "http://h.example/api/",
       "application/x-www-form-urlencoded; charset=utf-8", "a=1&B=2"},
      {"JSON", "PUT", "x", Dictionary{{"b", ns::Array{1, true}}, {"a", "s/t"}}, 1, "http://h.example/api/x",
       "application/json; charset=utf-8", "{\"a\":\"s\\/t\",\"b\":[1,true]}"},
      {"JSON that cannot be written keeps no body", "POST", "x", Dictionary{{"d", ns::Data::fromString("b")}},
       1, "http://h.example/api/x", "application/json; charset=utf-8", "<none>"},
      {"no such encoding", "POST", "x", Dictionary{{"a", 1}}, 5, "http://h.example/api/x", std::nullopt,
       "<none>"},
  };
  for (const auto& c : cases) {
    auto client = clientFor("http://h.example/api");
    client->setParameterEncoding(static_cast<NTHTTPClientParameterEncoding>(c.encoding));
    testsupport::LogCapture log;
    auto request = client->requestWithMethod(c.method, c.path, c.parameters);
    ASSERT_TRUE(request->URL()) << c.name;
    EXPECT_EQ(request->URL()->absoluteString(), c.url) << c.name;
    EXPECT_EQ(request->HTTPMethod(), c.method) << c.name;
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Type"), c.contentType) << c.name;
    EXPECT_EQ(bodyOf(request), c.body) << c.name;
    EXPECT_EQ(log.contains("NTHTTPClient requestWithMethod:path:parameters:"),
              c.body == "<none>" && c.encoding == 1)
        << c.name;
  }
}

TEST(NTHTTPClientTest, PropertyListBodiesAndOtherEncodingsCharsets) {
  auto client = clientFor("http://h.example/");
  client->setParameterEncoding(NTPropertyListParameterEncoding);
  auto request = client->requestWithMethod("POST", "p", Dictionary{{"list", ns::Array{"a"}}, {"n", 2}});
  EXPECT_EQ(request->valueForHTTPHeaderField("Content-Type"), "application/x-plist; charset=utf-8");
  ns::PropertyListFormat format{};
  EXPECT_EQ(ns::PropertyListSerialization::propertyListWithData(*request->HTTPBody(), &format),
            Value(Dictionary{{"list", ns::Array{"a"}}, {"n", 2}}));
  EXPECT_EQ(format, ns::PropertyListFormat::XML);

  client->setParameterEncoding(NTFormURLParameterEncoding);
  client->setStringEncoding(ns::ISOLatin1StringEncoding);
  request = client->requestWithMethod("POST", "p", Dictionary{{"e", "\xC3\xA9"}});
  EXPECT_EQ(request->valueForHTTPHeaderField("Content-Type"),
            "application/x-www-form-urlencoded; charset=iso-8859-1");
  EXPECT_EQ(bodyOf(request), "e=%E9");
  EXPECT_EQ(reasonOf([&] { client->requestWithMethod(std::nullopt); }),
            "Invalid parameter not satisfying: method");
}

TEST(NTHTTPClientTest, DefaultHeadersAndAuthorization) {
  const char* previous = getenv("LANGUAGE");
  std::string saved = previous ? previous : "";
  setenv("LANGUAGE", "ru_RU:en_US", 1);
  auto client = clientFor("http://h.example/");
  if (previous)
    setenv("LANGUAGE", saved.c_str(), 1);
  else
    unsetenv("LANGUAGE");

  EXPECT_EQ(client->defaultValueForHeader("Accept-Language"), "ru, en, en-us;q=0.8");
  auto agent = client->defaultValueForHeader("User-Agent").value_or("");
  std::string expectedTail = " (" + ui::Device::currentDevice()->model() + "; iOS 6.1; Scale/" +
                             (ui::Device::profile().scale == 2 ? "2.00" : "1.00") + ")";
  EXPECT_TRUE(agent.ends_with(expectedTail)) << agent;
  EXPECT_NE(agent.find('/'), std::string::npos) << agent;

  struct Step {
    std::function<void()> action;
    std::optional<std::string> authorization;
  } steps[] = {
      {[&] { client->setAuthorizationHeaderWithUsername("Aladdin", "open sesame"); },
       "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
      {[&] { client->setAuthorizationHeaderWithUsername("Ёж", ""); }, "Basic 0IHQtjo="},
      {[&] { client->setAuthorizationHeaderWithToken("abc"); }, "Token token=\"abc\""},
      {[&] { client->clearAuthorizationHeader(); }, std::nullopt},
      {[&] { client->setDefaultHeader("Authorization", "X"); }, "X"},
      {[&] { client->setDefaultHeader("Authorization", std::nullopt); }, std::nullopt},
  };
  for (auto& step : steps) {
    step.action();
    EXPECT_EQ(client->defaultValueForHeader("Authorization"), step.authorization);
    EXPECT_EQ(client->requestWithMethod("GET", "x")->valueForHTTPHeaderField("Authorization"),
              step.authorization);
  }
  // A request takes the headers as they are when it is built.
  auto before = client->requestWithMethod("GET", "x");
  client->setDefaultHeader("X-Later", "1");
  EXPECT_FALSE(before->valueForHTTPHeaderField("X-Later"));
}

TEST(NTHTTPClientTest, OperationClassesAreConsultedFromTheOldestRegistration) {
  NTJSONRequestOperation::registerClass();
  NTPropertyListRequestOperation::registerClass();
  NTXMLRequestOperation::registerClass();
  auto client = clientFor("http://h.example/");
  auto request = client->requestWithMethod("GET", "both");
  request->setValueForHTTPHeaderField("application/json, application/x-plist", "Accept");
  auto classOf = [&] {
    return client->HTTPRequestOperationWithRequest(request, nullptr, nullptr)->className();
  };

  EXPECT_EQ(classOf(), "NTHTTPRequestOperation");
  EXPECT_TRUE(client->registerHTTPOperationClass("NTJSONRequestOperation"));
  EXPECT_TRUE(client->registerHTTPOperationClass("NTPropertyListRequestOperation"));
  EXPECT_EQ(client->registeredHTTPOperationClassNames(),
            (std::vector<std::string>{"NTPropertyListRequestOperation", "NTJSONRequestOperation"}));
  EXPECT_EQ(classOf(), "NTJSONRequestOperation");
  EXPECT_TRUE(client->registerHTTPOperationClass("NTJSONRequestOperation"));
  EXPECT_EQ(classOf(), "NTPropertyListRequestOperation");
  // A class that does not accept the request is passed over.
  EXPECT_TRUE(client->registerHTTPOperationClass("NTXMLRequestOperation"));
  EXPECT_EQ(classOf(), "NTPropertyListRequestOperation");
  client->unregisterHTTPOperationClass("NTPropertyListRequestOperation");
  EXPECT_EQ(classOf(), "NTJSONRequestOperation");

  for (const char* refused : {"NTHTTPClient", "NTURLConnectionOperation", "NoSuchOperation", ""})
    EXPECT_FALSE(client->registerHTTPOperationClass(refused)) << refused;
  EXPECT_EQ(client->registeredHTTPOperationClassNames().size(), 2u);
}

class ClientJSONOperation : public NTJSONRequestOperation {};

// A subclass given by type joins the registry below its parent and claims what the parent claims.
TEST(NTHTTPClientTest, AnUnregisteredSubclassCanBeRegisteredByType) {
  NTJSONRequestOperation::registerClass();
  auto client = clientFor("http://h.example/");
  EXPECT_TRUE(client->registerHTTPOperationClass<ClientJSONOperation>());
  EXPECT_EQ(client->registeredHTTPOperationClassNames(), std::vector<std::string>{"ClientJSONOperation"});
  struct Case {
    const char* path;
    bool claimed;
  } cases[] = {{"list.json", true}, {"list.xml", false}};
  for (const auto& c : cases) {
    auto request = client->requestWithMethod("GET", c.path);
    EXPECT_EQ(NTHTTPRequestOperation::canProcessRequest("ClientJSONOperation", *request), c.claimed)
        << c.path;
    auto op = client->HTTPRequestOperationWithRequest(request, nullptr, nullptr);
    EXPECT_EQ(std::dynamic_pointer_cast<ClientJSONOperation>(op) != nullptr, c.claimed) << c.path;
  }
}

TEST(NTHTTPClientTest, BatchReportsProgressPerOperationThenCompletesOnce) {
  testsupport::LoopbackServer server;
  server.fallback([](const testsupport::RecordedRequest& r) { return testsupport::Reply::text(r.path); });
  auto client = clientFor(server.url("/"));
  std::vector<std::pair<std::size_t, std::size_t>> progress;
  std::vector<std::string> events;
  int completions = 0;
  std::vector<NTHTTPRequestOperationPtr> operations;
  for (const char* path : {"one", "two", "three"})
    operations.push_back(client->HTTPRequestOperationWithRequest(
        client->requestWithMethod("GET", path),
        [&events](const NTHTTPRequestOperationPtr&, const Value& body) {
          events.push_back("success " + body.asData()->toString());
        },
        nullptr));
  client->enqueueBatchOfHTTPRequestOperations(
      operations,
      [&](std::size_t finished, std::size_t total) {
        progress.emplace_back(finished, total);
        events.push_back("progress");
      },
      [&](const std::vector<NTHTTPRequestOperationPtr>& done) {
        ++completions;
        events.push_back("completion");
        EXPECT_EQ(done, operations);
        for (const auto& op : done) EXPECT_TRUE(op->isFinished());
      });
  ASSERT_TRUE(testsupport::spinUntil([&] { return completions == 1; }));
  // Nothing more arrives later.
  auto marker = std::make_shared<std::atomic<bool>>(false);
  dispatch::async(dispatch::mainQueue(), [marker] { *marker = true; });
  ASSERT_TRUE(testsupport::spinUntil([&] { return marker->load(); }));
  EXPECT_EQ(completions, 1);
  ASSERT_EQ(progress.size(), 3u);
  for (const auto& [finished, total] : progress) {
    EXPECT_GE(finished, 1u);
    EXPECT_EQ(total, 3u);
  }
  EXPECT_EQ(progress.back().first, 3u);
  EXPECT_EQ(events.back(), "completion");
  EXPECT_EQ(std::count(events.begin(), events.end(), "progress"), 3);
  EXPECT_EQ(server.requestCount(), 3u);
}

// Each operation's part of a batch (its own completion and the progress call) runs on that
// operation's success queue; only the batch's completion comes back on the main queue.
TEST(NTHTTPClientTest, BatchWrappersRunOnEachOperationsSuccessQueue) {
  testsupport::LoopbackServer server;
  server.fallback([](const testsupport::RecordedRequest&) { return testsupport::Reply::text("ok"); });
  auto client = clientFor(server.url("/"));
  auto queue = dispatch::queueCreate("test.batch.success");
  struct Case {
    const char* name;
    bool ownQueue;
  } cases[] = {{"main queue", false}, {"own success queue", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto op =
        client->HTTPRequestOperationWithRequest(client->requestWithMethod("GET", "x"), nullptr, nullptr);
    if (c.ownQueue) op->setSuccessCallbackQueue(queue);
    std::atomic<int> progressOnMain{-1};
    std::atomic<bool> completed{false}, completedOnMain{false};
    client->enqueueBatchOfHTTPRequestOperations(
        {op}, [&](std::size_t, std::size_t) { progressOnMain = ns::Thread::isMainThread() ? 1 : 0; },
        [&](const std::vector<NTHTTPRequestOperationPtr>&) {
          completedOnMain = ns::Thread::isMainThread();
          completed = true;
        });
    ASSERT_TRUE(testsupport::spinUntil([&] { return completed.load(); }));
    EXPECT_EQ(progressOnMain.load(), c.ownQueue ? 0 : 1);
    EXPECT_TRUE(completedOnMain.load());
  }
}

TEST(NTHTTPClientTest, BatchOfRequestsMakesOneOperationEach) {
  testsupport::LoopbackServer server;
  server.fallback([](const testsupport::RecordedRequest&) { return testsupport::Reply::text("ok"); });
  auto client = clientFor(server.url("/"));
  int progressCalls = 0;
  std::vector<NTHTTPRequestOperationPtr> finished;
  client->enqueueBatchOfHTTPRequestOperationsWithRequests(
      {client->requestWithMethod("GET", "a"), client->requestWithMethod("GET", "b")},
      [&](std::size_t, std::size_t total) {
        ++progressCalls;
        EXPECT_EQ(total, 2u);
      },
      [&](const std::vector<NTHTTPRequestOperationPtr>& ops) { finished = ops; });
  ASSERT_TRUE(testsupport::spinUntil([&] { return finished.size() == 2; }));
  EXPECT_EQ(progressCalls, 2);
  EXPECT_EQ(finished[0]->request()->URL()->path(), "/a");
  EXPECT_EQ(finished[1]->request()->URL()->path(), "/b");
}

TEST(NTHTTPClientTest, CancelsQueuedOperationsByMethodAndWholeURL) {
  struct Case {
    const char* name;
    std::optional<std::string> method;
    std::string path;
    std::vector<bool> cancelled;  // GET a, POST a, GET b, GET a?x=1
  } cases[] = {
      {"GET a", "GET", "a", {true, false, false, false}},
      {"any method a", std::nullopt, "a", {true, true, false, false}},
      {"POST a", "POST", "a", {false, true, false, false}},
      {"query must match", "GET", "a?x=1", {false, false, false, true}},
      {"nothing", "PUT", "a", {false, false, false, false}},
  };
  for (const auto& c : cases) {
    auto client = clientFor("http://127.0.0.1:1/api/");
    client->operationQueue()->setSuspended(true);
    std::vector<NTHTTPRequestOperationPtr> ops = {
        client->HTTPRequestOperationWithRequest(client->requestWithMethod("GET", "a"), nullptr, nullptr),
        client->HTTPRequestOperationWithRequest(client->requestWithMethod("POST", "a"), nullptr, nullptr),
        client->HTTPRequestOperationWithRequest(client->requestWithMethod("GET", "b"), nullptr, nullptr),
        client->HTTPRequestOperationWithRequest(client->requestWithMethod("GET", "a", Dictionary{{"x", 1}}),
                                                nullptr, nullptr),
    };
    for (const auto& op : ops) client->enqueueHTTPRequestOperation(op);
    client->cancelAllHTTPOperationsWithMethod(c.method, c.path);
    std::vector<bool> cancelled;
    for (const auto& op : ops) cancelled.push_back(op->isCancelled());
    EXPECT_EQ(cancelled, c.cancelled) << c.name;
    for (const auto& op : ops) op->cancel();
    client->operationQueue()->setSuspended(false);
    ASSERT_TRUE(testsupport::spinUntil([&] { return client->operationQueue()->operationCount() == 0; }))
        << c.name;
  }
}

TEST(NTHTTPClientTest, ConvenienceOperationsSendTheirMethods) {
  testsupport::LoopbackServer server;
  server.fallback([](const testsupport::RecordedRequest& r) {
    return testsupport::Reply::text(r.method + " " + r.body);
  });
  auto client = clientFor(server.url("/v1"));
  std::vector<std::string> replies;
  auto success = [&replies](const NTHTTPRequestOperationPtr&, const Value& body) {
    replies.push_back(body.asData()->toString());
  };
  using Call = void (NTHTTPClient::*)(const std::string&, const std::optional<Dictionary>&,
                                      NTHTTPClient::SuccessBlock, NTHTTPClient::FailureBlock);
  std::vector<std::pair<Call, std::string>> calls = {
      {&NTHTTPClient::getPath, "GET "},        {&NTHTTPClient::postPath, "POST k=v"},
      {&NTHTTPClient::putPath, "PUT k=v"},     {&NTHTTPClient::deletePath, "DELETE "},
      {&NTHTTPClient::patchPath, "PATCH k=v"},
  };
  for (const auto& [call, expected] : calls) {
    replies.clear();
    ((*client).*call)("r", Dictionary{{"k", "v"}}, success, nullptr);
    ASSERT_TRUE(testsupport::spinUntil([&] { return !replies.empty(); }));
    EXPECT_EQ(replies[0], expected);
  }
  auto last = server.requests().back();
  EXPECT_EQ(last.path, "/v1/r");
}

// Whatever a server's query parser takes for arrays and nested dictionaries arrives, decoded, for
// each method that puts its parameters in the URL.
TEST(NTHTTPClientTest, BracketedParametersReachTheServerInTheQuery) {
  testsupport::LoopbackServer server;
  server.fallback([](const testsupport::RecordedRequest&) { return testsupport::Reply::text("ok"); });
  auto client = clientFor(server.url("/"));
  Dictionary parameters{{"ids", ns::Array{7, 8}}, {"f", Dictionary{{"genre", "a[b]"}}}};
  for (const char* method : {"GET", "HEAD", "DELETE"}) {
    server.clearLog();
    auto request = client->requestWithMethod(method, "list", parameters);
    ASSERT_TRUE(request->URL()) << method;
    bool done = false;
    auto op = client->HTTPRequestOperationWithRequest(
        request, [&](const NTHTTPRequestOperationPtr&, const Value&) { done = true; },
        [&](const NTHTTPRequestOperationPtr&, const ns::ErrorPtr& error) {
          ADD_FAILURE() << method << ": " << error->describe();
          done = true;
        });
    client->enqueueHTTPRequestOperation(op);
    ASSERT_TRUE(testsupport::spinUntil([&] { return done; })) << method;
    ASSERT_EQ(server.requestCount(), 1u) << method;
    std::vector<std::string> pairs;
    for (const auto& pair : ns::componentsSeparatedByString(server.requests()[0].query, "&"))
      pairs.push_back(ns::removePercentEncoding(pair).value_or("?"));
    EXPECT_EQ(pairs, (std::vector<std::string>{"f[genre]=a[b]", "ids[]=7", "ids[]=8"})) << method;
  }
}

// Header values are text: one that would split the request fails the operation, and nothing
// reaches the server.
TEST(NTHTTPClientTest, HeaderValueWithLineBreaksFailsTheOperation) {
  testsupport::LoopbackServer server;
  server.fallback([](const testsupport::RecordedRequest&) { return testsupport::Reply::text("ok"); });
  struct Case {
    const char* name;
    std::string value;
  } cases[] = {{"CRLF", "a\r\nX-Injected: 1"}, {"LF", "a\nX-Injected: 1"}, {"CR", "a\rb"}};
  for (const auto& c : cases) {
    auto client = clientFor(server.url("/"));
    client->setDefaultHeader("X-Note", c.value);
    ns::ErrorPtr failure;
    bool succeeded = false;
    client->getPath(
        "x", std::nullopt, [&](const NTHTTPRequestOperationPtr&, const Value&) { succeeded = true; },
        [&](const NTHTTPRequestOperationPtr&, const ns::ErrorPtr& error) { failure = error; });
    ASSERT_TRUE(testsupport::spinUntil([&] { return failure || succeeded; })) << c.name;
    EXPECT_FALSE(succeeded) << c.name;
    ASSERT_NE(failure, nullptr) << c.name;
    EXPECT_EQ(failure->domain(), ns::kURLErrorDomain) << c.name;
  }
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST(NTHTTPClientTest, CopyAndArchiveKeepSettingsButNotState) {
  NTJSONRequestOperation::registerClass();
  auto client = clientFor("http://h.example/api");
  client->setStringEncoding(ns::ISOLatin1StringEncoding);
  client->setParameterEncoding(NTJSONParameterEncoding);
  client->registerHTTPOperationClass("NTJSONRequestOperation");
  client->setDefaultHeader("X-App", "1");
  client->setDefaultHeader("User-Agent", "Custom/1");
  int statusCalls = 0;
  client->setReachabilityStatusChangeBlock([&statusCalls](NTNetworkReachabilityStatus) { ++statusCalls; });

  auto copy = client->copy();
  ASSERT_TRUE(copy);
  auto data = ns::KeyedArchiver::archivedDataWithRootObject(Value(client));
  ASSERT_TRUE(data);
  auto restored = ns::KeyedUnarchiver::unarchiveObjectWithData(*data).asObject<NTHTTPClient>();
  ASSERT_TRUE(restored);
  for (const auto& other : {copy, restored}) {
    EXPECT_NE(other, client);
    EXPECT_EQ(other->baseURL(), client->baseURL());
    EXPECT_EQ(other->stringEncoding(), ns::ISOLatin1StringEncoding);
    EXPECT_EQ(other->parameterEncoding(), NTJSONParameterEncoding);
    EXPECT_EQ(other->registeredHTTPOperationClassNames(), client->registeredHTTPOperationClassNames());
    EXPECT_EQ(other->defaultHeaders(), client->defaultHeaders());
    EXPECT_NE(other->operationQueue(), client->operationQueue());
  }
  EXPECT_TRUE(copy->networkReachabilityStatusBlock());
  EXPECT_FALSE(restored->networkReachabilityStatusBlock());
  // The copy's lists are its own.
  copy->setDefaultHeader("X-App", "2");
  copy->unregisterHTTPOperationClass("NTJSONRequestOperation");
  EXPECT_EQ(client->defaultValueForHeader("X-App"), "1");
  EXPECT_EQ(client->registeredHTTPOperationClassNames().size(), 1u);

  // A damaged archive gives no client.
  EXPECT_TRUE(ns::KeyedUnarchiver::unarchiveObjectWithData(ns::Data::fromString("nope")).isNil());
  EXPECT_NE(client->describe().find("baseURL: http://h.example/api/"), std::string::npos)
      << client->describe();
}

}  // namespace
