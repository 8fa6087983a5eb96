#include "Classes/MainPage/JsonParser.h"

#include <optional>

#include "Foundation/URLRequest.h"
#include "NTNetworking/NTJSONRequestOperation.h"

namespace {

// One feed item as a record, or nothing when the item does not have the feed's shape. A value
// that is simply absent ends the record there: its key and the keys after it are left out.
std::optional<ns::Dictionary> recordFromItem(const ns::Value& item) {
  if (!item.isDictionary()) return std::nullopt;
  const ns::Value& title = item["title"];
  if (!title.isNil() && !title.isDictionary()) return std::nullopt;

  const ns::Value& details = title["items"];
  const ns::Value* detail = &ns::Value::nilValue();
  if (!details.isNil()) {
    if (!details.isArray() || details.count() == 0 || !details.at(0).isDictionary()) return std::nullopt;
    detail = &details.at(0);
  }
  const ns::Value& info = (*detail)["info"];
  if (!info.isNil() &&
      (!info.isArray() || info.count() < 4 || !info.at(2).isDictionary() || !info.at(3).isDictionary()))
    return std::nullopt;

  const std::pair<const char*, const ns::Value*> fields[] = {
      {"name", &title["title"]},      {"yeahr", &info.at(3)["items"]}, {"country", &info.at(2)["items"]},
      {"genre", &(*detail)["title"]}, {"image", &(*detail)["image"]},  {"poster", &item["poster"]},
  };
  ns::Dictionary record;
  for (const auto& [key, value] : fields) {
    if (value->isNil()) break;
    record.set(key, *value);
  }
  return record;
}

}  // namespace

std::shared_ptr<JsonParser> JsonParser::initWithUrl(const ns::URL& url) {
  url_ = url;
  returnedArray_.clear();
  return std::static_pointer_cast<JsonParser>(shared_from_this());
}

void JsonParser::jsonParseWithUrl(const ns::URL& url) {
  auto self = std::static_pointer_cast<JsonParser>(shared_from_this());
  // A failed load changes nothing: no records, no delegate call, no alert.
  NTJSONRequestOperation::JSONRequestOperationWithRequest(
      ns::URLRequest::requestWithURL(url),
      [self](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::Value& json) {
        self->didLoad(json);
      },
      nullptr)
      ->start();
}

void JsonParser::didLoad(const ns::Value& json) {
  // Only a feed object is read; anything else leaves the records and the delegate alone.
  if (!json.isDictionary()) return;
  const ns::Value& items = json["items"];
  if (items.isArray())
    for (const ns::Value& item : *items.asArray())
      if (auto record = recordFromItem(item)) returnedArray_.push_back(std::move(*record));
  if (auto delegate = delegate_.lock()) delegate->loadJSONArray(returnedArray_);
}
