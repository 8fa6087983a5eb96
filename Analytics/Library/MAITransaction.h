#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One line of a transaction: a product, its price in millionths of the currency unit and a quantity.
struct MAITransactionItem {
  std::string productCode;
  std::string productName;
  std::string productCategory;
  std::int64_t priceMicros = 0;
  std::int64_t quantity = 0;
};

// A purchase: sent as one "item" hit per item, then one "tran" hit. Amounts are in millionths.
struct MAITransaction {
  std::string transactionId;
  std::string affiliation;
  std::int64_t revenueMicros = 0;
  std::int64_t shippingMicros = 0;
  std::int64_t taxMicros = 0;
  std::vector<MAITransactionItem> items;
};
