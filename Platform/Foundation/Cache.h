#pragma once

#include <cstddef>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "Foundation/Object.h"
#include "Foundation/Value.h"

namespace ns {

// An in-memory key-value cache that may drop entries whenever it likes, least recently used
// first. Count and cost limits are the caller's (0: none). Linux sends no memory warnings, so the
// memory budget stands in for the system's pressure: the entries' total cost is kept within it
// even when the caller sets no limit. Safe from any thread.
class Cache : public Object {
 public:
  // What a cache may hold without a cost limit of its own: 64 MiB of cost.
  static constexpr std::size_t kDefaultMemoryBudget = 64u << 20;

  // nil when absent; a hit makes the entry the most recently used.
  Value objectForKey(std::string_view key);
  // Replaces any entry under the key; setting nil removes it. An entry whose cost alone exceeds
  // the limits is not kept.
  void setObject(Value object, std::string key, std::size_t cost = 0);
  void removeObjectForKey(std::string_view key);
  void removeAllObjects();

  std::size_t countLimit() const;
  void setCountLimit(std::size_t limit);
  std::size_t totalCostLimit() const;
  void setTotalCostLimit(std::size_t limit);
  std::size_t memoryBudget() const;
  void setMemoryBudget(std::size_t budget);
  std::string name() const;
  void setName(std::string name);

  std::size_t count() const;
  std::size_t totalCost() const;

 private:
  struct Entry {
    std::string key;
    Value object;
    std::size_t cost;
  };
  using List = std::list<Entry>;
  // Drops least recently used entries until the limits hold; the dropped values are moved to
  // `evicted` so they are released after the lock.
  void trimLocked(List& evicted);
  std::size_t costLimitLocked() const;

  mutable std::mutex mutex_;
  List entries_;  // most recently used first
  std::map<std::string, List::iterator, std::less<>> index_;
  std::size_t totalCost_ = 0;
  std::size_t countLimit_ = 0;
  std::size_t totalCostLimit_ = 0;
  std::size_t memoryBudget_ = kDefaultMemoryBudget;
  std::string name_;
};

}  // namespace ns
