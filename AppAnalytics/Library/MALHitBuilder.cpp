#include "AppAnalytics/Library/MALHitBuilder.h"

#include "AppAnalytics/Library/MALUtils.h"
#include "Foundation/Format.h"
#include "Foundation/String.h"
#include "UIKit/Screen.h"

namespace {

struct ScreenSize {
  int width, height;
};

ScreenSize screenSize() {
  cg::Rect bounds = ui::Screen::mainScreen()->bounds();
  return {static_cast<int>(bounds.size.width), static_cast<int>(bounds.size.height)};
}

// Text as it goes into a hit: URL-encoded, and nothing for nothing.
std::string encoded(const std::optional<std::string>& text) {
  return MALUtils::urlEncodeString(text).value_or("");
}

std::string x10Escaped(std::string text) {
  MALHitBuilder::x10Escape(text);
  return text;
}

}  // namespace

std::vector<std::string> MALHitBuilder::constructHitRequestPath(const MALEventPtr& event,
                                                                const MALReferrerPtr& referrer) {
  std::vector<std::string> hits;
  if (!event) return hits;
  std::string cookie = getEscapedCookieString(event, referrer);
  for (const std::string& account : accountIDs_) {
    event->setAccountId(account);
    std::string path;
    if (event->isPageview())
      path = constructPageviewRequestPath(event);
    else if (event->isTransaction())
      path = constructTransactionRequestPath(event);
    else if (event->isItem())
      path = constructItemRequestPath(event);
    else
      path = constructEventRequestPath(event);
    std::string hit = ns::format("%@&utmcc=%@%@", path, cookie, event->anonymizeIp() ? "&aip=1" : "");
    if (!event->useServerTime())
      hit += ns::format("&utmht=%lld", static_cast<long long>(MALUtils::currentTimeMillis()));
    hits.push_back(std::move(hit));
  }
  return hits;
}

std::string MALHitBuilder::constructPageviewRequestPath(const MALEventPtr& event) {
  ScreenSize screen = screenSize();
  std::string path =
      ns::format("%@?utmwv=%@&utmn=%ld&utmcs=UTF-8&utmsr=%dx%d&utmsc=24-bit&utmul=%@-%@&utmp=%@&utmac=%@",
                 kMALHitPath, kMALHitProtocolVersion, static_cast<long>(event->randomVal()), screen.width,
                 screen.height, MALUtils::systemLanguage(), MALUtils::systemCountry(),
                 encoded(event->pagePath()), event->accountId().value_or(""));
  if (event->adHitId() != 0) path += ns::format("&utmhid=%d", event->adHitId());
  if (std::string variables = customVariableParamsForEvent(event); !variables.empty())
    path += ns::format("&utme=%@", variables);
  return path;
}

std::string MALHitBuilder::constructEventRequestPath(const MALEventPtr& event) {
  // Category, action and label are x10-escaped like custom variables, so their ' ) * ! cannot
  // break the structure of the text.
  std::string x10 = ns::format("5(%@*%@", x10Escaped(event->category().value_or("")),
                               x10Escaped(event->action().value_or("")));
  x10 += event->label() ? ns::format("*%@)", x10Escaped(*event->label())) : std::string(")");
  if (event->value() >= 0) x10 += ns::format("(%d)", event->value());
  x10 += customVariableParamsForEvent(event);
  ScreenSize screen = screenSize();
  std::string path = ns::format(
      "%@?utmwv=%@&utmn=%ld&utmt=event&utme=%@&utmcs=UTF-8&utmsr=%dx%d&utmsc=24-bit&utmul=%@-%@&utmac=%@",
      kMALHitPath, kMALHitProtocolVersion, static_cast<long>(event->randomVal()), encoded(x10), screen.width,
      screen.height, MALUtils::systemLanguage(), MALUtils::systemCountry(), event->accountId().value_or(""));
  if (event->pagePath()) path += ns::format("&utmp=%@", encoded(event->pagePath()));
  if (event->adHitId() != 0) path += ns::format("&utmhid=%d", event->adHitId());
  return path;
}

std::string MALHitBuilder::constructTransactionRequestPath(const MALEventPtr& event) {
  const MALTransactionPtr& t = event->transaction();
  if (!t) return {};
  return ns::format(
      "%@?utmwv=%@&utmn=%ld&utmt=tran&utmtid=%@&utmtst=%@&utmtto=%@&utmttx=%@&utmtsp=%@&utmtci=&utmtrg=&"
      "utmtco=&utmac=%@",
      kMALHitPath, kMALHitProtocolVersion, static_cast<long>(event->randomVal()), encodeString(t->orderID()),
      encodeString(t->storeName()), encodeDouble(t->totalCost()), encodeDouble(t->totalTax()),
      encodeDouble(t->shippingCost()), event->accountId().value_or(""));
}

std::string MALHitBuilder::constructItemRequestPath(const MALEventPtr& event) {
  const MALItemPtr& i = event->item();
  if (!i) return {};
  return ns::format(
      "%@?utmwv=%@&utmn=%ld&utmt=item&utmtid=%@&utmipc=%@&utmipn=%@&utmiva=%@&utmipr=%@&utmiqt=%@&utmac=%@",
      kMALHitPath, kMALHitProtocolVersion, static_cast<long>(event->randomVal()), encodeString(i->orderID()),
      encodeString(i->itemSKU()), encodeString(i->itemName()), encodeString(i->itemCategory()),
      encodeDouble(i->itemPrice()), encodeInt(i->itemCount()), event->accountId().value_or(""));
}

std::string MALHitBuilder::getEscapedCookieString(const MALEventPtr& event, const MALReferrerPtr& referrer) {
  std::string cookie = ns::format("__utma=%d.%d.%d.%d.%d.%d;", 1, event->visitorId(), event->timestampFirst(),
                                  event->timestampPrevious(), event->timestampCurrent(), event->visits());
  if (referrer)
    cookie += ns::format("+__utmz=%d.%d.%d.%d.%@;", 1, referrer->timestamp(), referrer->visit(),
                         referrer->index(), referrer->referrer());
  return encoded(cookie);
}

std::string MALHitBuilder::customVariableParamsForEvent(const MALEventPtr& event) {
  const MALCustomVariableBufferPtr& buffer = event->customVariableBuffer();
  if (!buffer || !buffer->hasCustomVariables()) return {};
  return x10ProjectForProjectNumber(8, buffer) + x10ProjectForProjectNumber(9, buffer) +
         x10ProjectForProjectNumber(11, buffer);
}

std::string MALHitBuilder::x10ProjectForProjectNumber(int project,
                                                      const MALCustomVariableBufferPtr& variables) {
  std::string text = ns::format("%d(", project);
  bool first = true;
  for (unsigned index = 1; variables && index <= kMALMaxCustomVariables; ++index) {
    MALCustomVariablePtr variable = variables->customVariableAtIndex(index);
    if (!variable) continue;
    if (!first) text += "*";
    first = false;
    text += ns::format("%d!", index);
    if (project == 8)
      text += x10Escaped(encoded(variable->name()));
    else if (project == 9)
      text += x10Escaped(encoded(variable->value()));
    else
      text += ns::format("%d", variable->scope());
  }
  return text + ")";
}

void MALHitBuilder::x10Escape(std::string& text) {
  text = ns::stringByReplacingOccurrences(text, "'", "'0");
  text = ns::stringByReplacingOccurrences(text, ")", "'1");
  text = ns::stringByReplacingOccurrences(text, "*", "'2");
  text = ns::stringByReplacingOccurrences(text, "!", "'3");
}

std::string MALHitBuilder::encodeDouble(double value) {
  return value == 0 ? std::string() : ns::format("%lf", value);
}

std::string MALHitBuilder::encodeInt(int value) {
  return value == 0 ? std::string() : ns::format("%d", value);
}

std::string MALHitBuilder::encodeString(const std::optional<std::string>& value) { return encoded(value); }
