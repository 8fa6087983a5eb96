#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "Analytics/Library/MAIMetaInfo.h"

using MAIMetaInfos = std::map<std::string, MAIMetaInfoPtr, std::less<>>;

// The hit parameter table, built by createHitMetaInfos on first use (once, from any thread).
class MAIHitFormat final {
 public:
  static const MAIMetaInfos& hitMetaInfos();
  // The model keys, in the table's order.
  static const std::vector<std::string>& allKeys();
  static MAIMetaInfoPtr metaInfoForKey(std::string_view key);

  // The default dispatch URLs: the collection host of the build ("https://<host>/collect" and
  // "http://<host>/collect"; a tracker uses the second unless told to use HTTPS), or both the URL
  // in VCC_COLLECT_URL when that is set.
  static std::string kMAIHitFormatHttpsUrl();
  static std::string kMAIHitFormatHttpUrl();
};

MAIMetaInfos createHitMetaInfos();
