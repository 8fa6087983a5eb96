#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "AppAnalytics/Library/MALCustomVariable.h"
#include "AppAnalytics/Library/MALTransaction.h"
#include "Foundation/Object.h"

// The categories that mark what kind of record an event is.
inline constexpr const char* kMALPageviewEventCategory = "__##APPPAGEVIEW##__";
inline constexpr const char* kMALTransactionEventCategory = "__##APPTRANSACTION##__";
inline constexpr const char* kMALItemEventCategory = "__##APPITEM##__";

// Everything the tracker records: a page view, an event, a transaction or an item, with the
// visitor and session data the store fills in. -1 marks a session field not yet set.
class MALEvent final : public ns::Object {
 public:
  using Text = std::optional<std::string>;

  std::shared_ptr<MALEvent> initWithEventID(std::int64_t eventID, std::int32_t randomVal,
                                            std::int32_t timestampFirst, std::int32_t timestampPrevious,
                                            std::int32_t timestampCurrent, std::int32_t visits, Text pagePath,
                                            Text category, Text action, Text label, std::int32_t value);
  std::shared_ptr<MALEvent> initWithPagePath(Text pagePath, Text category, Text action, Text label,
                                             std::int32_t value);

  bool isSessionInitialized() const { return timestampFirst_ >= 0; }
  bool isPageview() const { return category_ == kMALPageviewEventCategory; }
  bool isTransaction() const { return category_ == kMALTransactionEventCategory; }
  bool isItem() const { return category_ == kMALItemEventCategory; }

  std::int64_t eventID() const { return eventID_; }
  std::int32_t visitorId() const { return visitorId_; }
  void setVisitorId(std::int32_t v) { visitorId_ = v; }
  std::int32_t randomVal() const { return randomVal_; }
  void setRandomVal(std::int32_t v) { randomVal_ = v; }
  std::int32_t adHitId() const { return adHitId_; }
  void setAdHitId(std::int32_t v) { adHitId_ = v; }
  std::int32_t timestampFirst() const { return timestampFirst_; }
  void setTimestampFirst(std::int32_t v) { timestampFirst_ = v; }
  std::int32_t timestampPrevious() const { return timestampPrevious_; }
  void setTimestampPrevious(std::int32_t v) { timestampPrevious_ = v; }
  std::int32_t timestampCurrent() const { return timestampCurrent_; }
  void setTimestampCurrent(std::int32_t v) { timestampCurrent_ = v; }
  std::int32_t visits() const { return visits_; }
  void setVisits(std::int32_t v) { visits_ = v; }
  const Text& accountId() const { return accountId_; }
  void setAccountId(Text v) { accountId_ = std::move(v); }
  bool anonymizeIp() const { return anonymizeIp_; }
  void setAnonymizeIp(bool v) { anonymizeIp_ = v; }
  bool useServerTime() const { return useServerTime_; }
  void setUseServerTime(bool v) { useServerTime_ = v; }
  const Text& pagePath() const { return pagePath_; }
  const Text& category() const { return category_; }
  const Text& action() const { return action_; }
  const Text& label() const { return label_; }
  std::int32_t value() const { return value_; }
  const MALCustomVariableBufferPtr& customVariableBuffer() const { return customVariableBuffer_; }
  void setCustomVariableBuffer(MALCustomVariableBufferPtr v) { customVariableBuffer_ = std::move(v); }
  const MALItemPtr& item() const { return item_; }
  void setItem(MALItemPtr v) { item_ = std::move(v); }
  const MALTransactionPtr& transaction() const { return transaction_; }
  void setTransaction(MALTransactionPtr v) { transaction_ = std::move(v); }

 private:
  std::int64_t eventID_ = -1;
  std::int32_t visitorId_ = -1, randomVal_ = -1, adHitId_ = 0;
  std::int32_t timestampFirst_ = -1, timestampPrevious_ = -1, timestampCurrent_ = -1, visits_ = -1;
  Text accountId_;
  bool anonymizeIp_ = false, useServerTime_ = false;
  Text pagePath_, category_, action_, label_;
  std::int32_t value_ = 0;
  MALCustomVariableBufferPtr customVariableBuffer_;
  MALItemPtr item_;
  MALTransactionPtr transaction_;
};

using MALEventPtr = std::shared_ptr<MALEvent>;
