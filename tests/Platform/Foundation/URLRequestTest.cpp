#include <gtest/gtest.h>

#include "Foundation/KeyedArchiver.h"
#include "Foundation/Stream.h"
#include "Foundation/URLRequest.h"
#include "Foundation/URLResponse.h"

namespace {

ns::URL url(const char* text) { return *ns::URL::URLWithString(text); }

TEST(URLRequestTest, HeaderFieldsIgnoreCaseAndJoinAddedValues) {
  auto request = ns::URLRequest::requestWithURL(url("http://example.invalid/a"));
  EXPECT_EQ(request->HTTPMethod(), "GET");
  EXPECT_EQ(request->timeoutInterval(), 60.0);
  EXPECT_TRUE(request->HTTPShouldHandleCookies());
  request->setValueForHTTPHeaderField("text/html", "Accept");
  EXPECT_EQ(request->valueForHTTPHeaderField("ACCEPT"), "text/html");
  request->setValueForHTTPHeaderField("application/json", "accept");  // replaces, whatever the case
  EXPECT_EQ(request->allHTTPHeaderFields().size(), 1u);
  request->addValueForHTTPHeaderField("text/plain", "Accept");
  EXPECT_EQ(request->valueForHTTPHeaderField("Accept"), "application/json,text/plain");
  request->setValueForHTTPHeaderField(std::nullopt, "ACCEPT");
  EXPECT_FALSE(request->valueForHTTPHeaderField("Accept"));
  request->setHTTPMethod("");
  EXPECT_EQ(request->HTTPMethod(), "GET");
}

TEST(URLRequestTest, BodyAndBodyStreamExcludeEachOtherAndCopiesAreIndependent) {
  auto request = ns::URLRequest::requestWithURL(url("http://example.invalid/a"));
  request->setHTTPBody(ns::Data::fromString("bytes"));
  request->setHTTPBodyStream(ns::InputStream::inputStreamWithData(ns::Data::fromString("stream")));
  EXPECT_FALSE(request->HTTPBody());
  EXPECT_NE(request->HTTPBodyStream(), nullptr);
  request->setHTTPBody(ns::Data::fromString("bytes"));
  EXPECT_EQ(request->HTTPBodyStream(), nullptr);
  auto copy = request->mutableCopy();
  copy->setHTTPMethod("POST");
  copy->setValueForHTTPHeaderField("1", "X-Copy");
  EXPECT_EQ(request->HTTPMethod(), "GET");
  EXPECT_FALSE(request->valueForHTTPHeaderField("X-Copy"));
  EXPECT_EQ(copy->HTTPBody()->toString(), "bytes");
}

TEST(URLRequestTest, HeaderValidityRules) {
  struct Case {
    const char* name;
    const char* value;
    bool valid;
  } cases[] = {
      {"Accept", "text/html", true},
      {"X-Token_2", "a b\tc", true},
      {"", "v", false},
      {"Bad Name", "v", false},
      {"Colon:", "v", false},
      {"X", "a\r\nInjected: 1", false},
      {"X", "line\nbreak", false},
      {"X", "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + "=" + c.value);
    EXPECT_EQ(ns::isValidHTTPHeaderName(c.name) && ns::isValidHTTPHeaderValue(c.value), c.valid);
  }
  EXPECT_FALSE(ns::isValidHTTPHeaderValue(std::string_view("a\0b", 3)));
}

TEST(URLRequestTest, ArchivingKeepsEverythingButTheBodyStream) {
  auto request = ns::URLRequest::requestWithURL(
      url("http://example.invalid/path?q=1"), ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData, 12.5);
  request->setHTTPMethod("PUT");
  request->setValueForHTTPHeaderField("value", "X-Field");
  request->setHTTPBody(ns::Data::fromString("body"));
  request->setHTTPShouldHandleCookies(false);
  request->setMaximumBodyLength(4096);
  auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(request));
  ASSERT_TRUE(data);
  auto back = ns::KeyedUnarchiver::unarchiveObjectWithData(*data).asObject<ns::URLRequest>();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->URL()->absoluteString(), "http://example.invalid/path?q=1");
  EXPECT_EQ(back->HTTPMethod(), "PUT");
  EXPECT_EQ(back->valueForHTTPHeaderField("x-field"), "value");
  EXPECT_EQ(back->HTTPBody()->toString(), "body");
  EXPECT_EQ(back->timeoutInterval(), 12.5);
  EXPECT_EQ(back->cachePolicy(), ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData);
  EXPECT_FALSE(back->HTTPShouldHandleCookies());
  EXPECT_EQ(back->maximumBodyLength(), 4096);
  EXPECT_EQ(back->copy()->maximumBodyLength(), 4096);

  // Unbounded stays unbounded.
  auto plain = ns::URLRequest::requestWithURL(url("http://example.invalid/"));
  auto plainData = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(plain));
  ASSERT_TRUE(plainData);
  auto plainBack = ns::KeyedUnarchiver::unarchiveObjectWithData(*plainData).asObject<ns::URLRequest>();
  ASSERT_NE(plainBack, nullptr);
  EXPECT_EQ(plainBack->maximumBodyLength(), -1);
}

TEST(URLResponseTest, HeaderFieldsGiveTypeEncodingLengthAndFileName) {
  struct Case {
    const char* name;
    ns::Dictionary headers;
    const char* url;
    std::optional<std::string> mime, encoding;
    std::int64_t length;
    std::string filename;
  } cases[] = {
      {"plain",
       {{"Content-Type", "Application/JSON; charset=\"UTF-8\""}, {"Content-Length", "42"}},
       "http://h.invalid/api/list.json",
       "application/json",
       "UTF-8",
       42,
       "list.json"},
      {"no type, no length", {}, "http://h.invalid/", std::nullopt, std::nullopt, -1, "Unknown"},
      {"encoded body has no known length",
       {{"content-length", "10"}, {"Content-Encoding", "gzip"}},
       "http://h.invalid/x",
       std::nullopt,
       std::nullopt,
       -1,
       "x"},
      {"bad length",
       {{"Content-Length", "12abc"}},
       "http://h.invalid/x",
       std::nullopt,
       std::nullopt,
       -1,
       "x"},
      {"disposition",
       {{"Content-Disposition", "attachment; filename=\"poster.png\""}},
       "http://h.invalid/get",
       std::nullopt,
       std::nullopt,
       -1,
       "poster.png"},
      {"disposition in UTF-8",
       {{"Content-Disposition",
         "attachment; filename=a.txt; filename*=UTF-8''%D1%84%D0%B8%D0%BB%D1%8C%D0%BC.mp4"}},
       "http://h.invalid/get",
       std::nullopt,
       std::nullopt,
       -1,
       "фильм.mp4"},
      {"parameter and field names in any case",
       {{"content-type", "Text/Plain; CharSet=windows-1251"},
        {"CONTENT-DISPOSITION", "Attachment; FileName=Poster.PNG"}},
       "http://h.invalid/get",
       "text/plain",
       "windows-1251",
       -1,
       "Poster.PNG"},
      {"extended file name in any case",
       {{"Content-Disposition", "attachment; FILENAME*=utf-8''%D1%84.mp4; FILENAME=a.txt"}},
       "http://h.invalid/get",
       std::nullopt,
       std::nullopt,
       -1,
       "ф.mp4"},
      {"disposition with a path",
       {{"Content-Disposition", "attachment; filename=\"../../etc/passwd\""}},
       "http://h.invalid/get",
       std::nullopt,
       std::nullopt,
       -1,
       "passwd"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto response =
        std::make_shared<ns::HTTPURLResponse>()->initWithURL(url(c.url), 200, "HTTP/1.1", c.headers);
    EXPECT_EQ(response->MIMEType(), c.mime);
    EXPECT_EQ(response->textEncodingName(), c.encoding);
    EXPECT_EQ(response->expectedContentLength(), c.length);
    EXPECT_EQ(response->suggestedFilename(), c.filename);
  }
}

TEST(URLResponseTest, ArchivingAnHTTPResponseKeepsStatusAndFields) {
  auto response = std::make_shared<ns::HTTPURLResponse>()->initWithURL(
      url("http://h.invalid/a"), 206, "HTTP/1.1",
      {{"Content-Range", "bytes 0-9/100"}, {"Content-Type", "text/plain"}});
  auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(response));
  ASSERT_TRUE(data);
  auto back = ns::KeyedUnarchiver::unarchiveObjectWithData(*data).asObject<ns::HTTPURLResponse>();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->statusCode(), 206);
  EXPECT_EQ(back->valueForHTTPHeaderField("content-range"), "bytes 0-9/100");
  EXPECT_EQ(back->MIMEType(), "text/plain");
  EXPECT_EQ(back->URL()->absoluteString(), "http://h.invalid/a");
}

}  // namespace
