#include "AppAnalytics/Library/MALCustomVariable.h"
#include "AppAnalytics/Library/MALEvent.h"
#include "AppAnalytics/Library/MALHit.h"
#include "AppAnalytics/Library/MALTransaction.h"

std::shared_ptr<MALCustomVariable> MALCustomVariable::initWithIndex(unsigned index, std::string name,
                                                                    std::string value, int scope) {
  index_ = index;
  name_ = std::move(name);
  value_ = std::move(value);
  scope_ = scope;
  return std::static_pointer_cast<MALCustomVariable>(shared_from_this());
}

bool MALCustomVariableBuffer::addCustomVariable(const MALCustomVariablePtr& variable) {
  if (!variable || variable->index() == 0 || variable->index() > kMALMaxCustomVariables) return false;
  dictionary_[variable->index()] = variable;
  return true;
}

MALCustomVariablePtr MALCustomVariableBuffer::customVariableAtIndex(unsigned index) const {
  auto it = dictionary_.find(index);
  return it == dictionary_.end() ? nullptr : it->second;
}

std::shared_ptr<MALTransaction> MALTransaction::initWithOrderID(std::string orderID,
                                                                std::optional<std::string> storeName,
                                                                double totalCost, double totalTax,
                                                                double shippingCost) {
  orderID_ = std::move(orderID);
  storeName_ = std::move(storeName);
  totalCost_ = totalCost;
  totalTax_ = totalTax;
  shippingCost_ = shippingCost;
  return std::static_pointer_cast<MALTransaction>(shared_from_this());
}

std::shared_ptr<MALItem> MALItem::initWithOrderID(std::string orderID, std::string itemSKU, double itemPrice,
                                                  int itemCount, std::optional<std::string> itemName,
                                                  std::optional<std::string> itemCategory) {
  orderID_ = std::move(orderID);
  itemSKU_ = std::move(itemSKU);
  itemPrice_ = itemPrice;
  itemCount_ = itemCount;
  itemName_ = std::move(itemName);
  itemCategory_ = std::move(itemCategory);
  return std::static_pointer_cast<MALItem>(shared_from_this());
}

std::shared_ptr<MALHit> MALHit::initWithHitString(std::string hitString, std::uint64_t hitId) {
  hitString_ = std::move(hitString);
  hitId_ = hitId;
  return std::static_pointer_cast<MALHit>(shared_from_this());
}

std::shared_ptr<MALReferrer> MALReferrer::initWithReferrer(std::string referrer, int timestamp, int visit,
                                                           int index) {
  referrer_ = std::move(referrer);
  timestamp_ = timestamp;
  visit_ = visit;
  index_ = index;
  return std::static_pointer_cast<MALReferrer>(shared_from_this());
}

std::shared_ptr<MALEvent> MALEvent::initWithEventID(std::int64_t eventID, std::int32_t randomVal,
                                                    std::int32_t timestampFirst,
                                                    std::int32_t timestampPrevious,
                                                    std::int32_t timestampCurrent, std::int32_t visits,
                                                    Text pagePath, Text category, Text action, Text label,
                                                    std::int32_t value) {
  eventID_ = eventID;
  randomVal_ = randomVal;
  timestampFirst_ = timestampFirst;
  timestampPrevious_ = timestampPrevious;
  timestampCurrent_ = timestampCurrent;
  visits_ = visits;
  pagePath_ = std::move(pagePath);
  category_ = std::move(category);
  action_ = std::move(action);
  label_ = std::move(label);
  value_ = value;
  visitorId_ = -1;
  adHitId_ = 0;
  anonymizeIp_ = false;
  return std::static_pointer_cast<MALEvent>(shared_from_this());
}

std::shared_ptr<MALEvent> MALEvent::initWithPagePath(Text pagePath, Text category, Text action, Text label,
                                                     std::int32_t value) {
  return initWithEventID(-1, -1, -1, -1, -1, -1, std::move(pagePath), std::move(category), std::move(action),
                         std::move(label), value);
}
