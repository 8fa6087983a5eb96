#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/Object.h"

// An e-commerce order waiting to be tracked.
class MALTransaction final : public ns::Object {
 public:
  std::shared_ptr<MALTransaction> initWithOrderID(std::string orderID, std::optional<std::string> storeName,
                                                  double totalCost, double totalTax, double shippingCost);

  const std::string& orderID() const { return orderID_; }
  const std::optional<std::string>& storeName() const { return storeName_; }
  double totalCost() const { return totalCost_; }
  double totalTax() const { return totalTax_; }
  double shippingCost() const { return shippingCost_; }

 private:
  std::string orderID_;
  std::optional<std::string> storeName_;
  double totalCost_ = 0, totalTax_ = 0, shippingCost_ = 0;
};

using MALTransactionPtr = std::shared_ptr<MALTransaction>;

// One line of an order.
class MALItem final : public ns::Object {
 public:
  std::shared_ptr<MALItem> initWithOrderID(std::string orderID, std::string itemSKU, double itemPrice,
                                           int itemCount, std::optional<std::string> itemName,
                                           std::optional<std::string> itemCategory);

  const std::string& orderID() const { return orderID_; }
  const std::string& itemSKU() const { return itemSKU_; }
  const std::optional<std::string>& itemName() const { return itemName_; }
  const std::optional<std::string>& itemCategory() const { return itemCategory_; }
  double itemPrice() const { return itemPrice_; }
  int itemCount() const { return itemCount_; }

 private:
  std::string orderID_, itemSKU_;
  std::optional<std::string> itemName_, itemCategory_;
  double itemPrice_ = 0;
  int itemCount_ = 0;
};

using MALItemPtr = std::shared_ptr<MALItem>;
