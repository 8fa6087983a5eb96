#pragma once

// The per-class acceptable status codes and content types of the HTTP request operations, and
// the text helpers around them. The values are class methods in the runtime's class table, so
// a value added to one class reaches its subclasses that do not define their own and no other.

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "Foundation/ClassMethods.h"
#include "Foundation/IndexSet.h"

using NTContentTypeSet = std::set<std::string>;

// Class method selectors.
inline constexpr const char* kNTAcceptableStatusCodesSelector = "acceptableStatusCodes";
inline constexpr const char* kNTAcceptableContentTypesSelector = "acceptableContentTypes";
inline constexpr const char* kNTCanProcessRequestSelector = "canProcessRequest:";

// Class method signatures (receiving class name first); none means "any value is acceptable".
using NTAcceptableStatusCodesMethod = std::optional<ns::IndexSet>(std::string_view cls);
using NTAcceptableContentTypesMethod = std::optional<NTContentTypeSet>(std::string_view cls);

// "200-299,304,400-401": runs of consecutive indexes, in ascending order.
std::string NTStringFromIndexSet(const ns::IndexSet& indexSet);

// The MIME types listed in an Accept-style header value ("a/b;q=1, c/d"), without parameters;
// none for no header.
std::optional<NTContentTypeSet> NTContentTypesFromHTTPHeader(const std::optional<std::string>& header);

// Replaces (or adds) a class method of one class at run time.
template <class Signature>
void NTSwizzleClassMethodWithClassAndSelectorUsingBlock(std::string_view cls, std::string selector,
                                                        std::function<Signature> block) {
  ns::ClassMethods::shared().setMethod(std::string(cls), std::move(selector), std::move(block));
}

// What a class answers to the two class methods (none when nothing in its chain defines them).
std::optional<ns::IndexSet> NTAcceptableStatusCodesOfClass(std::string_view cls);
std::optional<NTContentTypeSet> NTAcceptableContentTypesOfClass(std::string_view cls);
// Makes the class answer its current value plus the given ones.
void NTAddAcceptableStatusCodesToClass(std::string_view cls, const ns::IndexSet& statusCodes);
void NTAddAcceptableContentTypesToClass(std::string_view cls, const NTContentTypeSet& contentTypes);

// "{(application/json, text/json)}"-style printing of a content-type set for messages.
std::string NTDescribeContentTypes(const std::optional<NTContentTypeSet>& contentTypes);
