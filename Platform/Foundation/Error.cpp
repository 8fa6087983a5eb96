#include "Foundation/Error.h"

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

}  // namespace ns
