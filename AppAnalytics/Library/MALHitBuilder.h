#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AppAnalytics/Library/MALEvent.h"
#include "AppAnalytics/Library/MALHit.h"
#include "Foundation/Object.h"

inline constexpr const char* kMALHitPath = "/__utm.gif";
inline constexpr const char* kMALHitProtocolVersion = "4.9.1mi";

// Turns a recorded event into the collection service's request paths ("/__utm.gif?utmwv=..."),
// one per account.
class MALHitBuilder final : public ns::Object {
 public:
  const std::vector<std::string>& accountIDs() const { return accountIDs_; }
  void setAccountIDs(std::vector<std::string> ids) { accountIDs_ = std::move(ids); }

  // One hit string per account id, in order; the event's accountId ends as the last one.
  std::vector<std::string> constructHitRequestPath(const MALEventPtr& event, const MALReferrerPtr& referrer);
  std::string constructPageviewRequestPath(const MALEventPtr& event);
  std::string constructEventRequestPath(const MALEventPtr& event);
  // Empty when the event carries no transaction (no item).
  std::string constructTransactionRequestPath(const MALEventPtr& event);
  std::string constructItemRequestPath(const MALEventPtr& event);

  // The URL-encoded "__utma" (and "__utmz" with a referrer) cookie.
  std::string getEscapedCookieString(const MALEventPtr& event, const MALReferrerPtr& referrer);
  // Projects 8 (names), 9 (values) and 11 (scopes) of the event's custom variables, or "".
  std::string customVariableParamsForEvent(const MALEventPtr& event);
  std::string x10ProjectForProjectNumber(int project, const MALCustomVariableBufferPtr& variables);
  // Escapes the characters that structure x10 text: ' ) * ! become '0 '1 '2 '3.
  static void x10Escape(std::string& text);
  static std::string encodeDouble(double value);
  static std::string encodeInt(int value);
  static std::string encodeString(const std::optional<std::string>& value);

 private:
  std::vector<std::string> accountIDs_;
};

using MALHitBuilderPtr = std::shared_ptr<MALHitBuilder>;
