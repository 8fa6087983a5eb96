#include <gtest/gtest.h>

#include "Foundation/Clock.h"
#include "Foundation/HTTPCookie.h"
#include "Foundation/HTTPCookieStorage.h"

namespace {

ns::URL url(const char* text) { return *ns::URL::URLWithString(text); }

TEST(HTTPCookieTest, SetCookieValuesAreParsedAndChecked) {
  ns::ManualClock clock(1'000'000.0);
  struct Case {
    const char* header;
    const char* from;
    bool accepted;
    std::string domain, path;
    bool secure;
    std::optional<double> expires;
  } cases[] = {
      {"a=1", "http://www.vk.invalid/dir/page", true, "www.vk.invalid", "/dir", false, std::nullopt},
      {"a=1; Domain=vk.invalid; Path=/; Secure", "https://login.vk.invalid/", true, ".vk.invalid", "/", true,
       std::nullopt},
      {"a=1; Domain=.VK.invalid", "http://vk.invalid/", true, ".vk.invalid", "/", false, std::nullopt},
      {"a=1; Domain=other.invalid", "http://vk.invalid/", false, "", "", false, std::nullopt},
      {"a=1; Domain=invalid", "http://vk.invalid/", false, "", "", false, std::nullopt},
      {"a=1; Max-Age=60", "http://h.invalid/", true, "h.invalid", "/", false, 1'000'060.0},
      {"a=1; Max-Age=60; Expires=Wed, 09 Jun 2021 10:18:14 GMT", "http://h.invalid/", true, "h.invalid", "/",
       false, 1'000'060.0},
      {"a=1; Expires=Wed, 09 Jun 2021 10:18:14 GMT", "http://h.invalid/", true, "h.invalid", "/", false,
       1623233894.0},
      {"a=1; Path=relative", "http://h.invalid/x/y", true, "h.invalid", "/x", false, std::nullopt},
      {"novalue", "http://h.invalid/", false, "", "", false, std::nullopt},
      {"=1", "http://h.invalid/", false, "", "", false, std::nullopt},
      {"a=1; Domain=127.0.0.1", "http://127.0.0.1/", true, "127.0.0.1", "/", false, std::nullopt},
      {"ctl=a\x01"
       "b",
       "http://h.invalid/", false, "", "", false, std::nullopt},
      {"a=1\tb", "http://h.invalid/", false, "", "", false, std::nullopt},
      {"a\x7f=1", "http://h.invalid/", false, "", "", false, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    auto cookie = ns::HTTPCookie::cookieWithSetCookieValue(c.header, url(c.from));
    ASSERT_EQ(cookie != nullptr, c.accepted);
    if (!cookie) continue;
    EXPECT_EQ(cookie->name(), "a");
    EXPECT_EQ(cookie->value(), "1");
    EXPECT_EQ(cookie->domain(), c.domain);
    EXPECT_EQ(cookie->path(), c.path);
    EXPECT_EQ(cookie->isSecure(), c.secure);
    EXPECT_EQ(cookie->isSessionOnly(), !c.expires);
    if (c.expires) {
      EXPECT_DOUBLE_EQ(cookie->expiresDate()->timeIntervalSince1970(), *c.expires);
    }
  }
}

TEST(HTTPCookieTest, JoinedSetCookieFieldsSplitBetweenCookiesOnly) {
  ns::Dictionary headers{
      {"Set-Cookie", "a=1; Expires=Wed, 09 Jun 2031 10:18:14 GMT; Path=/, b=2, c=3; Secure"}};
  auto cookies = ns::HTTPCookie::cookiesWithResponseHeaderFields(headers, url("https://h.invalid/"));
  ASSERT_EQ(cookies.size(), 3u);
  EXPECT_EQ(cookies[0]->name(), "a");
  EXPECT_FALSE(cookies[0]->isSessionOnly());
  EXPECT_EQ(cookies[1]->name(), "b");
  EXPECT_TRUE(cookies[2]->isSecure());
  EXPECT_EQ(ns::HTTPCookie::requestHeaderFieldsWithCookies(cookies)["Cookie"], ns::Value("a=1; b=2; c=3"));
  EXPECT_TRUE(ns::HTTPCookie::requestHeaderFieldsWithCookies({}).empty());
}

TEST(HTTPCookieTest, StorageMatchesDomainPathSchemeAndExpiry) {
  ns::ManualClock clock(2'000'000'000.0);
  ns::HTTPCookieStorage storage;
  auto set = [&](const char* header, const char* from) {
    storage.setCookie(ns::HTTPCookie::cookieWithSetCookieValue(header, url(from)));
  };
  set("host=1", "http://vk.invalid/");
  set("wide=2; Domain=vk.invalid", "http://vk.invalid/");
  set("deep=3; Path=/api", "http://vk.invalid/");
  set("safe=4; Secure", "https://vk.invalid/");
  set("brief=5; Max-Age=10", "http://vk.invalid/");
  auto names = [&](const char* to) {
    std::string out;
    for (const auto& cookie : storage.cookiesForURL(url(to))) out += cookie->name() + " ";
    return out;
  };
  struct Case {
    const char* url;
    std::string expected;
  } cases[] = {
      {"http://vk.invalid/", "host wide brief "},
      {"http://vk.invalid/api/list", "deep host wide brief "},
      {"http://vk.invalid/apis", "host wide brief "},
      {"https://vk.invalid/", "host wide safe brief "},
      {"http://m.vk.invalid/", "wide "},
      {"http://notvk.invalid/", ""},
      {"ftp://vk.invalid/", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(names(c.url), c.expected);
  }
  clock.advance(10);
  EXPECT_EQ(names("http://vk.invalid/"), "host wide ");
  EXPECT_EQ(storage.cookies().size(), 4u);
  // The same name, domain and path replaces; an expired one removes.
  set("host=changed", "http://vk.invalid/");
  std::string values;
  for (const auto& cookie : storage.cookiesForURL(url("http://vk.invalid/"))) values += cookie->value() + " ";
  EXPECT_EQ(values, "2 changed ");
  set("host=gone; Max-Age=0", "http://vk.invalid/");
  EXPECT_EQ(names("http://vk.invalid/"), "wide ");
}

// Hosts, domains, schemes and the "TRUE" of properties are read in any case, and kept lower-cased.
TEST(HTTPCookieTest, NamesAndFlagsAreReadInAnyCase) {
  ns::ManualClock clock(2'000'000'000.0);
  struct Case {
    const char* name;
    std::shared_ptr<ns::HTTPCookie> cookie;
    std::string domain;
    bool secure, sessionOnly;
  } cases[] = {
      {"from a host in capitals", ns::HTTPCookie::cookieWithSetCookieValue("a=1", url("http://VK.Invalid/")),
       "vk.invalid", false, true},
      {"domain property",
       ns::HTTPCookie::cookieWithProperties(
           {{ns::kHTTPCookieName, "a"}, {ns::kHTTPCookieValue, "1"}, {ns::kHTTPCookieDomain, "VK.invalid"}}),
       "vk.invalid", false, true},
      {"origin property",
       ns::HTTPCookie::cookieWithProperties({{ns::kHTTPCookieName, "a"},
                                             {ns::kHTTPCookieValue, "1"},
                                             {ns::kHTTPCookieOriginURL, "http://VK.invalid/x"}}),
       "vk.invalid", false, true},
      {"secure and lasting, in small letters",
       ns::HTTPCookie::cookieWithProperties({{ns::kHTTPCookieName, "a"},
                                             {ns::kHTTPCookieValue, "1"},
                                             {ns::kHTTPCookieDomain, "vk.invalid"},
                                             {ns::kHTTPCookieSecure, "true"},
                                             {ns::kHTTPCookieMaximumAge, "60"}}),
       "vk.invalid", true, false},
      {"discarded, in small letters",
       ns::HTTPCookie::cookieWithProperties({{ns::kHTTPCookieName, "a"},
                                             {ns::kHTTPCookieValue, "1"},
                                             {ns::kHTTPCookieDomain, "vk.invalid"},
                                             {ns::kHTTPCookieMaximumAge, "60"},
                                             {ns::kHTTPCookieDiscard, "true"}}),
       "vk.invalid", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.cookie, nullptr);
    EXPECT_EQ(c.cookie->domain(), c.domain);
    EXPECT_EQ(c.cookie->isSecure(), c.secure);
    EXPECT_EQ(c.cookie->isSessionOnly(), c.sessionOnly);
  }
  ns::HTTPCookieStorage storage;
  storage.setCookie(cases[0].cookie);
  for (const char* to : {"http://vk.invalid/", "HTTP://VK.INVALID/", "Https://Vk.Invalid/"}) {
    SCOPED_TRACE(to);
    EXPECT_EQ(storage.cookiesForURL(url(to)).size(), 1u);
  }
}

// The VKontakte logout deletes cookies by the suffix of their domain.
TEST(HTTPCookieTest, CookiesCanBeDeletedByDomainSuffix) {
  ns::HTTPCookieStorage storage;
  storage.setCookie(
      ns::HTTPCookie::cookieWithSetCookieValue("s=1; Domain=vk.com", url("https://login.vk.com/")));
  storage.setCookie(ns::HTTPCookie::cookieWithSetCookieValue("t=2", url("https://vk.com/")));
  storage.setCookie(ns::HTTPCookie::cookieWithSetCookieValue("u=3", url("https://a.io/")));
  for (const auto& cookie : storage.cookies()) {
    const auto& domain = cookie->domain();
    if (domain.size() > 6 && domain.compare(domain.size() - 7, 7, ".vk.com") == 0)
      storage.deleteCookie(cookie);
  }
  std::string left;
  for (const auto& cookie : storage.cookies()) left += cookie->name();
  EXPECT_EQ(left, "tu");
}

// What one reply may set is bounded by count and by length, and so is the jar, per domain and in
// all: past a bound the first cookies of a reply, and the latest stored, stay.
TEST(HTTPCookieTest, RepliesAndTheJarKeepWithinTheirBounds) {
  auto namesOf = [](const std::vector<ns::HTTPCookiePtr>& cookies) {
    std::string out;
    for (const auto& cookie : cookies) out += cookie->name() + " ";
    return out;
  };
  auto field = [](int count, std::size_t valueLength) {
    std::string joined;
    for (int i = 0; i < count; ++i)
      joined += (i ? ", c" : "c") + std::to_string(i) + "=" + std::string(valueLength, 'v');
    return ns::Dictionary{{"Set-Cookie", joined}};
  };
  struct Case {
    const char* name;
    ns::Dictionary fields;
    std::string kept;
  } cases[] = {
      {"few", field(3, 1), "c0 c1 c2 "},
      {"ten thousand", field(10000, 1),
       [] {
         std::string first;
         for (int i = 0; i < 50; ++i) first += "c" + std::to_string(i) + " ";
         return first;
       }()},
      {"long ones", field(30, 3000),
       [] {
         std::string first;
         for (int i = 0; i < 21; ++i) first += "c" + std::to_string(i) + " ";
         return first;
       }()},
      {"name and value of 4,096 bytes", field(1, 4094), "c0 "},
      {"name and value past 4,096 bytes", field(1, 4095), ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(namesOf(ns::HTTPCookie::cookiesWithResponseHeaderFields(c.fields, url("http://a.invalid/"))),
              c.kept)
        << c.name;

  ns::HTTPCookieStorage storage;
  const std::size_t perDomain = ns::HTTPCookieStorage::kMaxCookiesPerDomain;
  for (std::size_t i = 0; i < perDomain + 20; ++i)
    storage.setCookie(
        ns::HTTPCookie::cookieWithSetCookieValue("n" + std::to_string(i) + "=1", url("http://one.invalid/")));
  auto one = storage.cookiesForURL(url("http://one.invalid/"));
  ASSERT_EQ(one.size(), perDomain);
  EXPECT_EQ(one.front()->name(), "n20");
  EXPECT_EQ(one.back()->name(), "n" + std::to_string(perDomain + 19));
  for (std::size_t d = 0; storage.cookies().size() < ns::HTTPCookieStorage::kMaxCookies; ++d)
    storage.setCookie(ns::HTTPCookie::cookieWithSetCookieValue(
        "m" + std::to_string(d % perDomain) + "=1",
        url(("http://d" + std::to_string(d / perDomain) + ".invalid/").c_str())));
  storage.setCookie(ns::HTTPCookie::cookieWithSetCookieValue("last=1", url("http://z.invalid/")));
  EXPECT_EQ(storage.cookies().size(), ns::HTTPCookieStorage::kMaxCookies);
  EXPECT_EQ(storage.cookiesForURL(url("http://one.invalid/")).size(), perDomain - 1);
  EXPECT_EQ(namesOf(storage.cookiesForURL(url("http://z.invalid/"))), "last ");

  // A domain keeps the latest cookies within its bytes, and a Cookie field takes those that fit.
  ns::HTTPCookieStorage jar;
  const std::string big(4000, 'v');
  for (int i = 0; i < 5; ++i)
    jar.setCookie(ns::HTTPCookie::cookieWithSetCookieValue("b" + std::to_string(i) + "=" + big,
                                                           url("http://bytes.invalid/")));
  auto kept = jar.cookiesForURL(url("http://bytes.invalid/"));
  EXPECT_EQ(namesOf(kept), "b1 b2 b3 b4 ");
  kept.push_back(ns::HTTPCookie::cookieWithSetCookieValue("s=1", url("http://bytes.invalid/")));
  auto sent = *ns::HTTPCookie::requestHeaderFieldsWithCookies(kept)["Cookie"].asString();
  EXPECT_EQ(sent, "b1=" + big + "; s=1");
  EXPECT_LE(sent.size(), ns::HTTPCookie::kMaxRequestHeaderBytes);
}

TEST(HTTPCookieTest, PropertiesMakeCookiesAndRefuseUnsafeOnes) {
  auto cookie = ns::HTTPCookie::cookieWithProperties({{ns::kHTTPCookieName, "token"},
                                                      {ns::kHTTPCookieValue, "abc"},
                                                      {ns::kHTTPCookieOriginURL, "http://fb.invalid/x"}});
  ASSERT_NE(cookie, nullptr);
  EXPECT_EQ(cookie->domain(), "fb.invalid");
  EXPECT_EQ(cookie->path(), "/");
  EXPECT_TRUE(cookie->isSessionOnly());
  EXPECT_EQ(cookie->properties()[ns::kHTTPCookieName], ns::Value("token"));
  struct Case {
    const char* name;
    ns::Dictionary properties;
  } refused[] = {
      {"no domain", {{ns::kHTTPCookieName, "a"}, {ns::kHTTPCookieValue, "b"}}},
      {"no value", {{ns::kHTTPCookieName, "a"}, {ns::kHTTPCookieDomain, "d.invalid"}}},
      {"line break",
       {{ns::kHTTPCookieName, "a"}, {ns::kHTTPCookieValue, "b\r\nX: y"}, {ns::kHTTPCookieDomain, "d"}}},
      {"separator in name",
       {{ns::kHTTPCookieName, "a;b"}, {ns::kHTTPCookieValue, "b"}, {ns::kHTTPCookieDomain, "d"}}},
      {"control character",
       {{ns::kHTTPCookieName, "a"},
        {ns::kHTTPCookieValue,
         "a\x01"
         "b"},
        {ns::kHTTPCookieDomain, "d"}}},
      {"past 4,096 bytes",
       {{ns::kHTTPCookieName, "a"},
        {ns::kHTTPCookieValue, std::string(4096, 'v')},
        {ns::kHTTPCookieDomain, "d"}}},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ns::HTTPCookie::cookieWithProperties(c.properties), nullptr);
  }
}

}  // namespace
