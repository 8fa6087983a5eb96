#include "Foundation/Stream.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace ns {

void Stream::open() {
  std::lock_guard lock(statusMutex_);
  if (status_ == StreamStatus::NotOpen) status_ = StreamStatus::Open;
}

void Stream::close() { setStreamStatus(StreamStatus::Closed); }

StreamStatus Stream::streamStatus() const {
  std::lock_guard lock(statusMutex_);
  return status_;
}

ErrorPtr Stream::streamError() const {
  std::lock_guard lock(statusMutex_);
  return error_;
}

Value Stream::propertyForKey(std::string_view) const { return {}; }
bool Stream::setPropertyForKey(const Value&, std::string_view) { return false; }
void Stream::scheduleInRunLoop(const std::shared_ptr<RunLoop>&, std::string_view) {}
void Stream::removeFromRunLoop(const std::shared_ptr<RunLoop>&, std::string_view) {}

void Stream::setStreamStatus(StreamStatus status) {
  std::lock_guard lock(statusMutex_);
  status_ = status;
}

void Stream::failWithError(ErrorPtr error) {
  std::lock_guard lock(statusMutex_);
  error_ = std::move(error);
  status_ = StreamStatus::Error;
}

ErrorPtr Stream::posixError(int code) {
  return Error::make(kPOSIXErrorDomain, code,
                     Dictionary{{kLocalizedDescriptionKey, std::string(std::strerror(code))}});
}

bool InputStream::getBuffer(const std::uint8_t**, std::size_t*) { return false; }

bool OutputStream::truncateAtCurrentOffset() { return false; }

namespace {

bool readable(StreamStatus s) { return s == StreamStatus::Open || s == StreamStatus::AtEnd; }

class DataInputStream final : public InputStream {
 public:
  explicit DataInputStream(Data data) : data_(std::move(data)) {}
  std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) override {
    if (!readable(streamStatus()) || !buffer) return -1;
    std::size_t n = std::min(maxLength, data_.length() - offset_);
    if (n > 0) std::memcpy(buffer, data_.bytes() + offset_, n);
    offset_ += n;
    if (offset_ == data_.length()) setStreamStatus(StreamStatus::AtEnd);
    return static_cast<std::int64_t>(n);
  }
  bool hasBytesAvailable() const override {
    auto s = streamStatus();
    return s != StreamStatus::AtEnd && s != StreamStatus::Closed && s != StreamStatus::Error &&
           offset_ < data_.length();
  }
  void open() override {
    InputStream::open();
    if (data_.empty() && streamStatus() == StreamStatus::Open) setStreamStatus(StreamStatus::AtEnd);
  }

 private:
  Data data_;
  std::size_t offset_ = 0;
};

// Common to the file streams: the descriptor and its offset property.
class FileDescriptor {
 public:
  ~FileDescriptor() { closeFd(); }
  void closeFd() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
};

Value fileOffset(int fd) {
  if (fd < 0) return {};
  off_t offset = ::lseek(fd, 0, SEEK_CUR);
  return offset < 0 ? Value() : Value(static_cast<std::int64_t>(offset));
}

bool setFileOffset(int fd, const Value& property) {
  if (fd < 0 || !property.isNumber()) return false;
  std::int64_t offset = property.longLongValue();
  return offset >= 0 && ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

class FileInputStream final : public InputStream {
 public:
  explicit FileInputStream(std::string path) : path_(std::move(path)) {}
  void open() override {
    if (streamStatus() != StreamStatus::NotOpen) return;
    file_.fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (file_.fd_ < 0)
      failWithError(posixError(errno));
    else
      setStreamStatus(StreamStatus::Open);
  }
  void close() override {
    file_.closeFd();
    InputStream::close();
  }
  std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) override {
    auto status = streamStatus();
    if (status == StreamStatus::AtEnd) return 0;
    if (status != StreamStatus::Open || !buffer) return -1;
    ssize_t n;
    do {
      n = ::read(file_.fd_, buffer, maxLength);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
      failWithError(posixError(errno));
      return -1;
    }
    if (n == 0 && maxLength > 0) setStreamStatus(StreamStatus::AtEnd);
    return n;
  }
  bool hasBytesAvailable() const override {
    auto s = streamStatus();
    return s != StreamStatus::AtEnd && s != StreamStatus::Closed && s != StreamStatus::Error;
  }
  Value propertyForKey(std::string_view key) const override {
    return key == kStreamFileCurrentOffsetKey ? fileOffset(file_.fd_) : Value();
  }
  bool setPropertyForKey(const Value& property, std::string_view key) override {
    if (key != kStreamFileCurrentOffsetKey || !setFileOffset(file_.fd_, property)) return false;
    if (streamStatus() == StreamStatus::AtEnd) setStreamStatus(StreamStatus::Open);
    return true;
  }

 private:
  std::string path_;
  FileDescriptor file_;
};

class MemoryOutputStream final : public OutputStream {
 public:
  std::int64_t write(const std::uint8_t* buffer, std::size_t length) override {
    if (streamStatus() != StreamStatus::Open || (!buffer && length > 0)) return -1;
    try {
      data_.append(buffer, length);
    } catch (const std::bad_alloc&) {
      failWithError(posixError(ENOMEM));
      return -1;
    }
    return static_cast<std::int64_t>(length);
  }
  std::int64_t writeData(const Data& data) override {
    if (!data_.empty() || streamStatus() != StreamStatus::Open) return write(data.bytes(), data.length());
    data_ = data;  // shared until one side changes it
    return static_cast<std::int64_t>(data.length());
  }
  bool hasSpaceAvailable() const override { return streamStatus() == StreamStatus::Open; }
  Value propertyForKey(std::string_view key) const override {
    // A copy of Data shares the bytes; only a later write to this stream would copy them.
    return key == kStreamDataWrittenToMemoryStreamKey ? Value(data_) : Value();
  }

 private:
  Data data_;
};

class FileOutputStream final : public OutputStream {
 public:
  FileOutputStream(std::string path, bool append) : path_(std::move(path)), append_(append) {}
  void open() override {
    if (streamStatus() != StreamStatus::NotOpen) return;
    // No O_APPEND: the offset property must move where the next write lands.
    file_.fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append_ ? 0 : O_TRUNC), 0644);
    if (file_.fd_ < 0 || (append_ && ::lseek(file_.fd_, 0, SEEK_END) < 0)) {
      failWithError(posixError(errno));
      file_.closeFd();
      return;
    }
    setStreamStatus(StreamStatus::Open);
  }
  void close() override {
    file_.closeFd();
    OutputStream::close();
  }
  std::int64_t write(const std::uint8_t* buffer, std::size_t length) override {
    if (streamStatus() != StreamStatus::Open || (!buffer && length > 0)) return -1;
    ssize_t n;
    do {
      n = ::write(file_.fd_, buffer, length);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
      failWithError(posixError(errno));
      return -1;
    }
    return n;
  }
  bool hasSpaceAvailable() const override { return streamStatus() == StreamStatus::Open; }
  bool truncateAtCurrentOffset() override {
    if (file_.fd_ < 0) return false;
    off_t offset = ::lseek(file_.fd_, 0, SEEK_CUR);
    return offset >= 0 && ::ftruncate(file_.fd_, offset) == 0;
  }
  Value propertyForKey(std::string_view key) const override {
    return key == kStreamFileCurrentOffsetKey ? fileOffset(file_.fd_) : Value();
  }
  bool setPropertyForKey(const Value& property, std::string_view key) override {
    return key == kStreamFileCurrentOffsetKey && setFileOffset(file_.fd_, property);
  }

 private:
  std::string path_;
  bool append_;
  FileDescriptor file_;
};

}  // namespace

std::shared_ptr<InputStream> InputStream::inputStreamWithData(Data data) {
  return std::make_shared<DataInputStream>(std::move(data));
}

std::shared_ptr<InputStream> InputStream::inputStreamWithFileAtPath(std::string path) {
  return std::make_shared<FileInputStream>(std::move(path));
}

std::shared_ptr<InputStream> InputStream::inputStreamWithURL(const URL& url) {
  if (!url.isFileURL()) return nullptr;
  return inputStreamWithFileAtPath(url.path());
}

std::shared_ptr<OutputStream> OutputStream::outputStreamToMemory() {
  return std::make_shared<MemoryOutputStream>();
}

std::shared_ptr<OutputStream> OutputStream::outputStreamToFileAtPath(std::string path, bool append) {
  return std::make_shared<FileOutputStream>(std::move(path), append);
}

}  // namespace ns
