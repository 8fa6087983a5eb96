#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "Foundation/Coding.h"
#include "Foundation/Data.h"
#include "Foundation/Error.h"
#include "Foundation/KeyedArchiver.h"
#include "Foundation/Lock.h"
#include "Foundation/Operation.h"
#include "Foundation/Stream.h"
#include "Foundation/Thread.h"
#include "Foundation/URLAuthenticationChallenge.h"
#include "Foundation/URLConnection.h"
#include "Foundation/URLRequest.h"
#include "Foundation/URLResponse.h"
#include "UIKit/Application.h"

// The state of a request operation; a new object holds 0 until its initializer sets Ready.
enum class OperationState : std::int16_t { Paused = -1, Ready = 1, Executing = 2, Finished = 3 };

// Whether a request operation may go from one state to another (a refused change is dropped).
bool NTStateTransitionIsValid(OperationState fromState, OperationState toState, bool isCancelled);
// The key-value key a state is observed under: "isReady", "isExecuting", "isFinished", "isPaused",
// or "state" for the initial 0.
const char* NTKeyPathFromOperationState(OperationState state);

// Posted with the operation as object when it starts executing and when it finishes (a pause
// counts as a finish, its resumption as a new start), synchronously on the changing thread.
extern const char* const NTNetworkingOperationDidStartNotification;
extern const char* const NTNetworkingOperationDidFinishNotification;

// Runs one URL request as a concurrent operation. Every connection of the process runs on one
// shared network thread; the body goes into an output stream (memory unless the caller sets
// another, such as a file). Supports cancel, pause and resume, background execution, archiving
// and copying. HTTP semantics live in NTHTTPRequestOperation.
//
// A started operation keeps itself alive until it has finished and queued its completion, so
// callers may drop it after `start`.
class NTURLConnectionOperation : public ns::Operation, public ns::Coding, public ns::URLConnectionDelegate {
 public:
  using ProgressBlock =
      std::function<void(std::uint64_t bytes, std::int64_t totalBytes, std::int64_t totalBytesExpected)>;
  using AuthenticationAgainstProtectionSpaceBlock =
      std::function<bool(const ns::URLConnectionPtr& connection, const ns::URLProtectionSpacePtr& space)>;
  using AuthenticationChallengeBlock = std::function<void(
      const ns::URLConnectionPtr& connection, const ns::URLAuthenticationChallengePtr& challenge)>;
  using CacheResponseBlock = std::function<ns::CachedURLResponsePtr(
      const ns::URLConnectionPtr& connection, const ns::CachedURLResponsePtr& cachedResponse)>;
  using RedirectResponseBlock =
      std::function<ns::URLRequestPtr(const ns::URLConnectionPtr& connection,
                                      const ns::URLRequestPtr& request, const ns::URLResponsePtr& response)>;

  NTURLConnectionOperation();
  ~NTURLConnectionOperation() override;

  // Registers the class with ClassRegistry (archiving and copying make instances by class name).
  // An unregistered subclass answers with the class methods of the nearest registered class it
  // derives from, but can be neither copied nor unarchived.
  static void registerClass();

  // Designated initializer; nullptr without a request.
  std::shared_ptr<NTURLConnectionOperation> initWithRequest(ns::URLRequestPtr request);

  // The shared network thread, started on first use.
  static ns::ThreadPtr networkRequestThread();

  // A picture's whole transfer, from the moment its request goes out, takes at most this many
  // seconds, 60 unless set (a poster that trickles in fails and its view shows its fallback);
  // picture requests also hold at most ns::URLLoader::kBackgroundConnectionsPerHost of a host's
  // connections. Any thread; applies to operations started afterwards.
  static double pictureTransferTimeout();
  static void setPictureTransferTimeout(double seconds);

  // ns::Operation
  void start() override;
  void cancel() override;
  bool isReady() const override;
  bool isExecuting() const override;
  bool isFinished() const override;
  bool isConcurrent() const override { return true; }
  bool isCancelled() const override { return cancelled_.load(); }
  void setCompletionBlock(std::function<void()> block) override;

  // Stops the transfer and keeps what was received; `resume` continues it.
  virtual void pause();
  bool isPaused() const;
  void resume();

  OperationState state() const { return state_.load(); }
  ns::RecursiveLock& lock() const { return *lock_; }
  ns::URLConnectionPtr connection() const;
  std::set<std::string> runLoopModes() const;
  void setRunLoopModes(std::set<std::string> modes);

  ns::URLRequestPtr request() const;
  ns::URLResponsePtr response() const;
  // The connection's error; subclasses add their own.
  virtual ns::ErrorPtr error() const;
  // The bytes of a memory output stream after the body ended; none for other streams.
  std::optional<ns::Data> responseData() const;
  // The body decoded with the response's charset (UTF-8 when it names none or an unknown one).
  std::optional<std::string> responseString() const;
  std::int64_t totalBytesRead() const { return totalBytesRead_.load(); }

  std::shared_ptr<ns::OutputStream> outputStream() const;
  // Closes the current stream; set it before `start`.
  void setOutputStream(std::shared_ptr<ns::OutputStream> stream);
  std::shared_ptr<ns::InputStream> inputStream() const;
  void setInputStream(std::shared_ptr<ns::InputStream> stream);

  ui::BackgroundTaskIdentifier backgroundTaskIdentifier() const;
  void setShouldExecuteAsBackgroundTaskWithExpirationHandler(std::function<void()> handler);

  // Lowers the longest body this request reads below its class's bound, for a reply whose use is
  // smaller than the class allows (a picture the screen draws). Negative takes the class's bound
  // alone; set before `start`. Copies keep it.
  void limitResponseLength(std::int64_t length) { responseLengthLimit_.store(length); }
  // The body is to be a picture: it is also refused as too long, as it arrives, once it passes
  // what a picture starting as it does may take (cg::Image::mostEncodedLength), so that a body
  // that is no picture, or far more than its pixels, costs little to refuse. Needs a length
  // bound; set before `start`; copies keep it.
  void limitResponseToPicture() { pictureBody_.store(true); }

  void setUploadProgressBlock(ProgressBlock block);
  void setDownloadProgressBlock(ProgressBlock block);
  void setAuthenticationAgainstProtectionSpaceBlock(AuthenticationAgainstProtectionSpaceBlock block);
  void setAuthenticationChallengeBlock(AuthenticationChallengeBlock block);
  void setCacheResponseBlock(CacheResponseBlock block);
  void setRedirectResponseBlock(RedirectResponseBlock block);

  std::string describe() const override;

  // Archiving pauses the operation first; a restored operation is Ready (or cancelled).
  void encodeWithCoder(ns::KeyedArchiver& coder) override;
  std::shared_ptr<ns::Object> initWithCoder(ns::KeyedUnarchiver& decoder) override;
  // A fresh, Ready operation of the same class for the same request, sharing the six closures.
  std::shared_ptr<NTURLConnectionOperation> copy() const;

  // ns::URLConnectionDelegate, on the network thread.
  bool connectionCanAuthenticateAgainstProtectionSpace(const ns::URLConnectionPtr& connection,
                                                       const ns::URLProtectionSpacePtr& space) override;
  void connectionDidReceiveAuthenticationChallenge(
      const ns::URLConnectionPtr& connection, const ns::URLAuthenticationChallengePtr& challenge) override;
  ns::URLRequestPtr connectionWillSendRequest(const ns::URLConnectionPtr& connection,
                                              const ns::URLRequestPtr& request,
                                              const ns::URLResponsePtr& redirectResponse) override;
  void connectionDidSendBodyData(const ns::URLConnectionPtr& connection, std::int64_t bytesWritten,
                                 std::int64_t totalBytesWritten,
                                 std::int64_t totalBytesExpectedToWrite) override;
  void connectionDidReceiveResponse(const ns::URLConnectionPtr& connection,
                                    const ns::URLResponsePtr& response) override;
  void connectionDidReceiveData(const ns::URLConnectionPtr& connection, const ns::Data& data) override;
  void connectionDidFinishLoading(const ns::URLConnectionPtr& connection) override;
  void connectionDidFailWithError(const ns::URLConnectionPtr& connection, const ns::ErrorPtr& error) override;
  ns::CachedURLResponsePtr connectionWillCacheResponse(
      const ns::URLConnectionPtr& connection, const ns::CachedURLResponsePtr& cachedResponse) override;

 protected:
  // Initializer steps; subclasses extend them (calling the base first). false fails the init.
  virtual bool setUpWithRequest(ns::URLRequestPtr request);
  template <class T>
  std::shared_ptr<T> initAs(ns::URLRequestPtr request) {
    return setUpWithRequest(std::move(request)) ? std::static_pointer_cast<T>(shared_from_this()) : nullptr;
  }

  void setState(OperationState state);
  void finish();
  void setRequest(ns::URLRequestPtr request);
  void setResponse(ns::URLResponsePtr response);
  void setError(ns::ErrorPtr error);
  void replaceOutputStream(std::shared_ptr<ns::OutputStream> stream);

  // Runs under the lock once nothing more will be written for this connection, before the state
  // becomes Paused. The HTTP operation adds its resumption headers here.
  virtual void prepareForResumption() {}

  // Stops the current connection and fails the operation with an error (network thread).
  void failTransfer(const ns::ErrorPtr& error);

  // The longest body an operation of the class reads: a longer one fails it with -1103 (data
  // length exceeds maximum) as soon as its announced length or the bytes that arrived say so,
  // nothing more is received, and one log line names the URL and the bound. Negative for no
  // bound, the default (a body may go to a file of any length). limitResponseLength lowers it.
  virtual std::int64_t maximumResponseLength() const { return -1; }
  // Whether the body is a picture (see pictureTransferTimeout).
  virtual bool isPictureTransfer() const { return pictureBody_.load(); }

  // The completion closure as installed, for subclasses that wrap it.
  using ns::Operation::completionBlock;

  // The operation's strong self while it runs, held for the network thread.
  std::shared_ptr<NTURLConnectionOperation> selfWhileRunning() {
    return std::static_pointer_cast<NTURLConnectionOperation>(shared_from_this());
  }

 private:
  void operationDidStart();
  void cancelConnection();
  void pauseOnNetworkThread();
  void performOnNetworkThread(void (NTURLConnectionOperation::*member)(), bool waitUntilDone);
  bool writeToOutputStream(const ns::Data& data);
  // The longest body the operation reads: the class's bound or a lower one given; negative for none.
  std::int64_t responseLengthBound() const;
  // Fails the transfer when a body of this length is more than the operation reads.
  bool failIfLongerThanAllowed(std::int64_t length);
  void releaseKeepAlive(std::shared_ptr<NTURLConnectionOperation>& holder);

  std::shared_ptr<ns::RecursiveLock> lock_;
  std::atomic<OperationState> state_{OperationState{0}};
  std::atomic<bool> cancelled_{false};
  std::atomic<std::int64_t> totalBytesRead_{0};
  std::atomic<std::int64_t> responseLengthLimit_{-1};
  std::atomic<bool> pictureBody_{false};

  // Fields handed between threads, guarded by fieldsMutex_ (never held while calling out).
  mutable std::mutex fieldsMutex_;
  ns::URLConnectionPtr connection_;
  std::set<std::string> runLoopModes_;
  ns::URLRequestPtr request_;
  ns::URLResponsePtr response_;
  ns::ErrorPtr error_;
  std::optional<ns::Data> responseData_;
  mutable std::optional<std::string> responseString_;
  mutable bool responseStringDecoded_ = false;
  std::shared_ptr<ns::OutputStream> outputStream_;
  ui::BackgroundTaskIdentifier backgroundTaskIdentifier_ = ui::kBackgroundTaskInvalid;
  ProgressBlock uploadProgress_;
  ProgressBlock downloadProgress_;
  AuthenticationAgainstProtectionSpaceBlock authenticationAgainstProtectionSpace_;
  AuthenticationChallengeBlock authenticationChallenge_;
  CacheResponseBlock cacheResponse_;
  RedirectResponseBlock redirectResponse_;

  // Body bytes received over the current connection (network thread only).
  std::int64_t connectionBytesRead_ = 0;
  // Set from start until the completion closure has been handed on, so that a dropped
  // operation still completes.
  std::shared_ptr<NTURLConnectionOperation> keepAlive_;
};

using NTURLConnectionOperationPtr = std::shared_ptr<NTURLConnectionOperation>;
