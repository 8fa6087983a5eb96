#include "Foundation/Data.h"

#include <algorithm>

namespace ns {

Data::Data(const void* bytes, std::size_t length) {
  if (length) append(bytes, length);
}

Data::Data(std::string&& bytes)
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

void Data::reserve(std::size_t capacity) {
  if (capacity + kTailRoom <= (storage_ ? storage_->capacity() : 0) &&
      (!storage_ || storage_.use_count() == 1))
    return;
  auto grown = std::make_shared<std::string>();
  grown->reserve(std::max(capacity, length()) + kTailRoom);
  grown->append(view());
  storage_ = std::move(grown);
}

void Data::append(const void* bytes, std::size_t length) {
  if (!length) return;
  // Shared bytes are copied once, into a buffer with room for what comes, not copied and then grown.
  if (storage_ && storage_.use_count() > 1)
    reserve(storage_->size() + std::max(length, storage_->size() / 2));
  std::string& s = writable();
  const char* from = static_cast<const char*>(bytes);
  if (s.capacity() < s.size() + length + kTailRoom) {
    // The bytes may be this buffer's own, which growing moves.
    bool own = from >= s.data() && from < s.data() + s.size();
    std::size_t offset = own ? static_cast<std::size_t>(from - s.data()) : 0;
    s.reserve(std::max(s.size() + length + kTailRoom, s.size() + s.size() / 2));
    if (own) from = s.data() + offset;
  }
  s.append(from, length);
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
