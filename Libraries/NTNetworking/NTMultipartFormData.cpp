#include "NTNetworking/NTMultipartFormData.h"

#include "Foundation/Format.h"
#include "Foundation/MIMEType.h"

std::string NTMultipartFormInitialBoundary(std::string_view boundary) {
  return ns::format("--%@%@", boundary, kNTMultipartFormCRLF);
}

std::string NTMultipartFormEncapsulationBoundary(std::string_view boundary) {
  return ns::format("%@--%@%@", kNTMultipartFormCRLF, boundary, kNTMultipartFormCRLF);
}

std::string NTMultipartFormFinalBoundary(std::string_view boundary) {
  return ns::format("%@--%@--%@", kNTMultipartFormCRLF, boundary, kNTMultipartFormCRLF);
}

std::optional<std::string> NTContentTypeForPathExtension(std::string_view extension) {
  return ns::MIMETypeForPathExtension(extension);
}
