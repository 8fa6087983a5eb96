#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ns {

// An immutable-by-default byte buffer with shared storage: copies are cheap and share the bytes
// until one of them is changed (copy on write). Buffers this class fills itself (copies, appends)
// keep kTailRoom bytes allocated past the end, so a reader that loads ahead in wide blocks (the
// JSON reader) can work on the bytes in place.
class Data {
 public:
  static constexpr std::size_t kTailRoom = 64;

  Data() = default;
  Data(const void* bytes, std::size_t length);
  explicit Data(const std::string& bytes) : Data(bytes.data(), bytes.size()) {}
  // Takes the string's buffer as it is, with whatever room it has past the end.
  explicit Data(std::string&& bytes);
  static Data fromString(std::string_view text) { return Data(text.data(), text.size()); }

  const std::uint8_t* bytes() const;
  std::size_t length() const { return storage_ ? storage_->size() : 0; }
  std::size_t size() const { return length(); }
  bool empty() const { return length() == 0; }
  // The bytes as a string view (not necessarily text).
  std::string_view view() const { return storage_ ? std::string_view(*storage_) : std::string_view(); }
  std::string toString() const { return std::string(view()); }
  // Bytes allocated past the end (whatever they hold).
  std::size_t tailRoom() const { return storage_ ? storage_->capacity() - storage_->size() : 0; }

  void append(const void* bytes, std::size_t length);
  void append(std::string_view bytes) { append(bytes.data(), bytes.size()); }
  void append(const Data& other) { append(other.view()); }
  // Makes room for `capacity` bytes (and the tail room) without changing the contents.
  void reserve(std::size_t capacity);
  void resize(std::size_t length);
  // Writable access to the bytes; detaches shared storage first.
  std::uint8_t* mutableBytes();

  Data subdata(std::size_t offset, std::size_t length) const;

  bool operator==(const Data& other) const { return view() == other.view(); }

 private:
  std::string& writable();
  std::shared_ptr<std::string> storage_;
};

}  // namespace ns
