#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Foundation/Data.h"
#include "Foundation/Error.h"
#include "Foundation/StringEncoding.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"

// One boundary for every multipart request, and the line end of its texts.
inline constexpr const char* kNTMultipartFormBoundary = "Boundary+0xAbCdEfGbOuNdArY";
inline constexpr const char* kNTMultipartFormCRLF = "\r\n";

// "--boundary CRLF" before the first part, "CRLF --boundary CRLF" before every other one and
// "CRLF --boundary-- CRLF" after the last.
std::string NTMultipartFormInitialBoundary(std::string_view boundary);
std::string NTMultipartFormEncapsulationBoundary(std::string_view boundary);
std::string NTMultipartFormFinalBoundary(std::string_view boundary);

// The MIME type for a file-name extension; nothing when none is known (the part then carries no
// Content-Type).
std::optional<std::string> NTContentTypeForPathExtension(std::string_view extension);

// What the construction callback of a multipart request receives: the parts are appended in call
// order. Names and file names are written into a quoted header parameter, where a '"', CR or LF
// is sent as %22, %0D or %0A so no name can end the parameter or start a header of its own.
class NTMultipartFormData {
 public:
  virtual ~NTMultipartFormData() = default;

  // A part streamed from a file while the request is sent, typed by the file's extension and
  // named by its last path component. False, with an error of NTNetworkingErrorDomain, for a
  // URL that is not a file URL, a file that cannot be reached and a file whose size cannot be read.
  virtual bool appendPartWithFileURL(const std::optional<ns::URL>& fileURL,
                                     const std::optional<std::string>& name,
                                     ns::ErrorPtr* error = nullptr) = 0;
  virtual void appendPartWithFileData(const std::optional<ns::Data>& data,
                                      const std::optional<std::string>& name,
                                      const std::optional<std::string>& fileName,
                                      const std::optional<std::string>& mimeType) = 0;
  virtual void appendPartWithFormData(const ns::Data& data, const std::optional<std::string>& name) = 0;
  // Header names and values are text: one with a CR or LF is refused as an invalid parameter.
  virtual void appendPartWithHeaders(const ns::Dictionary& headers, const ns::Data& body) = 0;
  // Sends at most numberOfBytes a read and sleeps the sending thread delay seconds after every
  // part read.
  virtual void throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) = 0;
};
