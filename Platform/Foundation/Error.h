#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Foundation/Coding.h"
#include "Foundation/Value.h"

namespace ns {

// Well-known error domains and user-info keys (their values are the platform's strings).
inline constexpr const char* kCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* kPOSIXErrorDomain = "NSPOSIXErrorDomain";
inline constexpr const char* kURLErrorDomain = "NSURLErrorDomain";
inline constexpr const char* kLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* kLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";
inline constexpr const char* kLocalizedRecoverySuggestionErrorKey = "NSLocalizedRecoverySuggestion";
inline constexpr const char* kUnderlyingErrorKey = "NSUnderlyingError";
inline constexpr const char* kFilePathErrorKey = "NSFilePath";
inline constexpr const char* kURLErrorFailingURLErrorKey = "NSErrorFailingURLKey";
inline constexpr const char* kURLErrorFailingURLStringErrorKey = "NSErrorFailingURLStringKey";
inline constexpr const char* kDebugDescriptionErrorKey = "NSDebugDescription";

// Codes of the "NSCocoaErrorDomain" domain that files, property lists, JSON and archives report.
inline constexpr std::int64_t kFileNoSuchFileError = 4;
inline constexpr std::int64_t kFileReadUnknownError = 256;
inline constexpr std::int64_t kFileReadNoPermissionError = 257;
inline constexpr std::int64_t kFileReadCorruptFileError = 259;
inline constexpr std::int64_t kFileReadNoSuchFileError = 260;
inline constexpr std::int64_t kFileWriteUnknownError = 512;
inline constexpr std::int64_t kFileWriteNoPermissionError = 513;
inline constexpr std::int64_t kFileWriteFileExistsError = 516;
inline constexpr std::int64_t kFileWriteOutOfSpaceError = 640;
inline constexpr std::int64_t kPropertyListReadCorruptError = 3840;  // also malformed JSON
inline constexpr std::int64_t kPropertyListWriteInvalidError = 3852;
inline constexpr std::int64_t kCoderReadCorruptError = 4864;
inline constexpr std::int64_t kCoderValueNotFoundError = 4865;

// Codes of the URL loading domain.
namespace URLError {
inline constexpr std::int64_t Unknown = -1;
inline constexpr std::int64_t Cancelled = -999;
inline constexpr std::int64_t BadURL = -1000;
inline constexpr std::int64_t TimedOut = -1001;
inline constexpr std::int64_t UnsupportedURL = -1002;
inline constexpr std::int64_t CannotFindHost = -1003;
inline constexpr std::int64_t CannotConnectToHost = -1004;
inline constexpr std::int64_t NetworkConnectionLost = -1005;
inline constexpr std::int64_t HTTPTooManyRedirects = -1007;
inline constexpr std::int64_t NotConnectedToInternet = -1009;
inline constexpr std::int64_t BadServerResponse = -1011;
inline constexpr std::int64_t UserCancelledAuthentication = -1012;
inline constexpr std::int64_t UserAuthenticationRequired = -1013;
inline constexpr std::int64_t ZeroByteResource = -1014;
inline constexpr std::int64_t CannotDecodeRawData = -1015;
inline constexpr std::int64_t CannotDecodeContentData = -1016;
inline constexpr std::int64_t CannotParseResponse = -1017;
inline constexpr std::int64_t RequestBodyStreamExhausted = -1021;
inline constexpr std::int64_t AppTransportSecurityRequiresSecureConnection = -1022;
inline constexpr std::int64_t FileDoesNotExist = -1100;
inline constexpr std::int64_t NoPermissionsToReadFile = -1102;
inline constexpr std::int64_t DataLengthExceedsMaximum = -1103;
inline constexpr std::int64_t SecureConnectionFailed = -1200;
inline constexpr std::int64_t CannotCreateFile = -3000;
inline constexpr std::int64_t CannotWriteToFile = -3003;
}  // namespace URLError

// A failure reported as a value: domain, code and user information. Immutable once made.
// Archivable (domain, code and the user information that a keyed archive can hold).
class Error final : public Object, public Coding {
 public:
  static std::shared_ptr<Error> make(std::string domain, std::int64_t code, Dictionary userInfo = {});

  const std::string& domain() const { return domain_; }
  std::int64_t code() const { return code_; }
  const Dictionary& userInfo() const { return userInfo_; }
  // The user-info description when there is one, else a generic sentence naming domain and code.
  std::string localizedDescription() const;
  std::string describe() const override;

  void encodeWithCoder(KeyedArchiver& coder) override;
  std::shared_ptr<Object> initWithCoder(KeyedUnarchiver& coder) override;

 private:
  std::string domain_;
  std::int64_t code_ = 0;
  Dictionary userInfo_;
};

using ErrorPtr = std::shared_ptr<Error>;

}  // namespace ns
