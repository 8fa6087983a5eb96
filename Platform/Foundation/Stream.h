#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "Foundation/Data.h"
#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"

namespace ns {

class RunLoop;

enum class StreamStatus : unsigned {
  NotOpen = 0,
  Opening = 1,
  Open = 2,
  Reading = 3,
  Writing = 4,
  AtEnd = 5,
  Closed = 6,
  Error = 7,
};

// The bytes a memory output stream holds (data); the position of a file stream (integer, settable).
inline constexpr const char* kStreamDataWrittenToMemoryStreamKey = "NSStreamDataWrittenToMemoryStreamKey";
inline constexpr const char* kStreamFileCurrentOffsetKey = "NSStreamFileCurrentOffsetKey";

// A byte stream used by one thread at a time; its status may be read from any thread.
// Scheduling on a run loop is accepted and ignored: these streams never block on the network.
class Stream : public Object {
 public:
  virtual void open();
  virtual void close();
  virtual StreamStatus streamStatus() const;
  // The failure that put the stream into StreamStatus::Error, if any.
  virtual ErrorPtr streamError() const;
  virtual Value propertyForKey(std::string_view key) const;
  virtual bool setPropertyForKey(const Value& property, std::string_view key);
  virtual void scheduleInRunLoop(const std::shared_ptr<RunLoop>& runLoop, std::string_view mode);
  virtual void removeFromRunLoop(const std::shared_ptr<RunLoop>& runLoop, std::string_view mode);

 protected:
  void setStreamStatus(StreamStatus status);
  // Records the error and moves to StreamStatus::Error.
  void failWithError(ErrorPtr error);
  // An error in "NSPOSIXErrorDomain" for errno.
  static ErrorPtr posixError(int code);

 private:
  mutable std::mutex statusMutex_;
  StreamStatus status_ = StreamStatus::NotOpen;
  ErrorPtr error_;
};

// The reading side. URL loading opens a request's body stream, reads until read() returns 0 (the
// end) or -1 (a failure, described by streamError()), and closes it; a subclass providing a body
// overrides open, close, read, hasBytesAvailable and, if it keeps its own, the status getters.
class InputStream : public Stream {
 public:
  // Bytes placed in buffer (> 0), 0 at the end, -1 on a failure or when the stream is not open.
  virtual std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) = 0;
  // Direct access to buffered bytes, where a stream has them (these have not).
  virtual bool getBuffer(const std::uint8_t** buffer, std::size_t* length);
  virtual bool hasBytesAvailable() const = 0;

  static std::shared_ptr<InputStream> inputStreamWithData(Data data);
  static std::shared_ptr<InputStream> inputStreamWithFileAtPath(std::string path);
  // A file URL's file; nullptr for any other URL.
  static std::shared_ptr<InputStream> inputStreamWithURL(const URL& url);
};

// The writing side.
class OutputStream : public Stream {
 public:
  // Bytes taken (possibly fewer than length: write the rest again), or -1 on a failure (the
  // stream is then in StreamStatus::Error with streamError() set) or when it is not open.
  virtual std::int64_t write(const std::uint8_t* buffer, std::size_t length) = 0;
  // The same for bytes held in a Data: a memory stream with nothing written yet takes the buffer
  // itself instead of copying it.
  virtual std::int64_t writeData(const Data& data) { return write(data.bytes(), data.length()); }
  virtual bool hasSpaceAvailable() const = 0;
  // Cuts a file stream's file at its current offset, so a body written again from an earlier
  // offset leaves no stale tail. False for streams without a file.
  virtual bool truncateAtCurrentOffset();

  // Bytes go into memory; kStreamDataWrittenToMemoryStreamKey hands them out without copying.
  static std::shared_ptr<OutputStream> outputStreamToMemory();
  // Bytes go to the file, created if missing; append keeps what it holds, otherwise it is emptied.
  static std::shared_ptr<OutputStream> outputStreamToFileAtPath(std::string path, bool append);
};

}  // namespace ns
