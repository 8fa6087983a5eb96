#include "Foundation/Error.h"

#include "Foundation/KeyedArchiver.h"

namespace ns {

std::shared_ptr<Error> Error::make(std::string domain, std::int64_t code, Dictionary userInfo) {
  auto error = std::make_shared<Error>();
  error->domain_ = std::move(domain);
  error->code_ = code;
  error->userInfo_ = std::move(userInfo);
  return error;
}

std::string Error::localizedDescription() const {
  if (auto text = userInfo_[kLocalizedDescriptionKey].asString()) return *text;
  return "The operation couldn\u2019t be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

std::string Error::describe() const {
  std::string out = "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" + localizedDescription() + "\"";
  if (!userInfo_.empty()) out += " UserInfo=" + Value(userInfo_).describe();
  return out;
}

void Error::encodeWithCoder(KeyedArchiver& coder) {
  coder.encodeObject(Value(domain_), "NSDomain");
  coder.encodeInt64(code_, "NSCode");
  // Entries an archive cannot hold (objects that do not archive themselves) are left out.
  Dictionary kept;
  for (const auto& [key, value] : userInfo_)
    if (KeyedArchiver::archivedDataWithRootObject(value)) kept.set(key, value);
  if (!kept.empty()) coder.encodeObject(Value(std::move(kept)), "NSUserInfo");
}

std::shared_ptr<Object> Error::initWithCoder(KeyedUnarchiver& coder) {
  Value domain = coder.decodeObjectForKey("NSDomain");
  if (!domain.isString()) return nullptr;
  domain_ = *domain.asString();
  code_ = coder.decodeInt64ForKey("NSCode");
  if (auto info = coder.decodeObjectForKey("NSUserInfo").asDictionary()) userInfo_ = *info;
  return shared_from_this();
}

}  // namespace ns
