#include "NTNetworking/NTAcceptableValues.h"

#include <mutex>

#include "Foundation/String.h"

std::string NTStringFromIndexSet(const ns::IndexSet& indexSet) {
  std::string text;
  for (const ns::Range& run : indexSet.ranges()) {
    if (!text.empty()) text += ",";
    text += std::to_string(run.location);
    if (run.length > 1) (text += '-') += std::to_string(run.max() - 1);
  }
  return text;
}

std::optional<NTContentTypeSet> NTContentTypesFromHTTPHeader(const std::optional<std::string>& header) {
  if (!header) return std::nullopt;
  NTContentTypeSet types;
  std::string_view rest = *header;
  while (true) {
    std::size_t comma = rest.find(',');
    std::string_view piece = rest.substr(0, comma);
    piece = piece.substr(0, piece.find(';'));
    std::string type = ns::trimWhitespaceAndNewlines(piece);
    if (!type.empty()) types.insert(std::move(type));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return types;
}

std::optional<ns::IndexSet> NTAcceptableStatusCodesOfClass(std::string_view cls) {
  auto method =
      ns::ClassMethods::shared().method<NTAcceptableStatusCodesMethod>(cls, kNTAcceptableStatusCodesSelector);
  return method ? method(cls) : std::nullopt;
}

std::optional<NTContentTypeSet> NTAcceptableContentTypesOfClass(std::string_view cls) {
  auto method = ns::ClassMethods::shared().method<NTAcceptableContentTypesMethod>(
      cls, kNTAcceptableContentTypesSelector);
  return method ? method(cls) : std::nullopt;
}

namespace {
// Read-add-replace must not interleave, or one of two concurrent additions would be lost.
std::mutex& additionMutex() {
  static std::mutex m;
  return m;
}
}  // namespace

void NTAddAcceptableStatusCodesToClass(std::string_view cls, const ns::IndexSet& statusCodes) {
  std::lock_guard lock(additionMutex());
  ns::IndexSet codes = NTAcceptableStatusCodesOfClass(cls).value_or(ns::IndexSet());
  codes.addIndexes(statusCodes);
  NTSwizzleClassMethodWithClassAndSelectorUsingBlock<NTAcceptableStatusCodesMethod>(
      cls, kNTAcceptableStatusCodesSelector,
      [codes](std::string_view) -> std::optional<ns::IndexSet> { return codes; });
}

void NTAddAcceptableContentTypesToClass(std::string_view cls, const NTContentTypeSet& contentTypes) {
  std::lock_guard lock(additionMutex());
  NTContentTypeSet types = NTAcceptableContentTypesOfClass(cls).value_or(NTContentTypeSet());
  types.insert(contentTypes.begin(), contentTypes.end());
  NTSwizzleClassMethodWithClassAndSelectorUsingBlock<NTAcceptableContentTypesMethod>(
      cls, kNTAcceptableContentTypesSelector,
      [types](std::string_view) -> std::optional<NTContentTypeSet> { return types; });
}

std::string NTDescribeContentTypes(const std::optional<NTContentTypeSet>& contentTypes) {
  if (!contentTypes) return "(null)";
  std::string text = "{(";
  bool first = true;
  for (const std::string& type : *contentTypes) {
    text += first ? "" : ", ";
    text += type;
    first = false;
  }
  return text + ")}";
}
