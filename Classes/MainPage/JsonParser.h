#pragma once

#include <memory>

#include "Foundation/Object.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"

// Receives the records of a feed load.
class parserDelegate {
 public:
  virtual ~parserDelegate() = default;
  virtual void loadJSONArray(const ns::Array& array) = 0;
};

// Fetches a JSON feed of titles and hands its items to the delegate as flat records of up to six
// fields ("name", "yeahr", "country", "genre", "image", "poster"). Records accumulate over loads:
// each successful load appends its records and hands the delegate all of them. Main thread only.
class JsonParser final : public ns::Object {
 public:
  std::shared_ptr<JsonParser> initWithUrl(const ns::URL& url);

  // Starts a load of the given URL and returns at once. A pending load keeps the parser alive.
  void jsonParseWithUrl(const ns::URL& url);

  const ns::URL& url() const { return url_; }
  void setUrl(const ns::URL& url) { url_ = url; }
  std::shared_ptr<parserDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<parserDelegate> delegate) { delegate_ = std::move(delegate); }
  const ns::Array& returnedArray() const { return returnedArray_; }
  void setReturnedArray(ns::Array array) { returnedArray_ = std::move(array); }

 private:
  void didLoad(const ns::Value& json);

  ns::URL url_;
  std::weak_ptr<parserDelegate> delegate_;
  ns::Array returnedArray_;
};
