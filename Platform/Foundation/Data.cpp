#include "Foundation/Data.h"

#include <algorithm>

namespace ns {

Data::Data(const void* bytes, std::size_t length)
    : storage_(length ? std::make_shared<std::string>(static_cast<const char*>(bytes), length) : nullptr) {}

Data::Data(std::string bytes)
    : storage_(bytes.empty() ? nullptr : std::make_shared<std::string>(std::move(bytes))) {}

const std::uint8_t* Data::bytes() const {
  static const std::uint8_t kEmpty = 0;
  return storage_ ? reinterpret_cast<const std::uint8_t*>(storage_->data()) : &kEmpty;
}

std::string& Data::writable() {
  if (!storage_)
    storage_ = std::make_shared<std::string>();
  else if (storage_.use_count() > 1)
    storage_ = std::make_shared<std::string>(*storage_);
  return *storage_;
}

void Data::append(const void* bytes, std::size_t length) {
  if (length) writable().append(static_cast<const char*>(bytes), length);
}

void Data::resize(std::size_t length) {
  if (length != this->length()) writable().resize(length);
}

std::uint8_t* Data::mutableBytes() { return reinterpret_cast<std::uint8_t*>(writable().data()); }

Data Data::subdata(std::size_t offset, std::size_t length) const {
  std::string_view all = view();
  offset = std::min(offset, all.size());
  return Data(all.substr(offset, length).data(), std::min(length, all.size() - offset));
}

}  // namespace ns
