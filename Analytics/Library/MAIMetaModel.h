#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Analytics/Library/MAIMetaInfo.h"
#include "Foundation/Object.h"

// Rows of parameters by model key.
class MAIMetaModel : public ns::Object {
 public:
  std::vector<std::string> allKeys() const;
  std::vector<MAIMetaInfoPtr> allMetaInfos() const;
  MAIMetaInfoPtr metaInfoForKey(std::string_view key) const;
  // The model key of the row sending this URL parameter, or empty.
  std::string keyForUrlParameter(std::string_view urlParameter) const;
  // False, changing nothing, when the key is present.
  bool addField(MAIMetaInfoPtr info, const std::string& key);

 private:
  std::map<std::string, MAIMetaInfoPtr, std::less<>> metaInfos_;
  std::map<std::string, std::string, std::less<>> keysByUrlParameter_;
};

using MAIMetaModelPtr = std::shared_ptr<MAIMetaModel>;

// The meta model of hits: every row of the hit parameter table. One for the process, never destroyed.
class MAIHitMetaModel final : public MAIMetaModel {
 public:
  static std::shared_ptr<MAIHitMetaModel> sharedInstance();
};
