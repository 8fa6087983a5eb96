#include "Foundation/Cache.h"

#include <algorithm>

namespace ns {

Value Cache::objectForKey(std::string_view key) {
  std::lock_guard lock(mutex_);
  auto found = index_.find(key);
  if (found == index_.end()) return Value();
  entries_.splice(entries_.begin(), entries_, found->second);
  return found->second->object;
}

void Cache::setObject(Value object, std::string key, std::size_t cost) {
  if (object.isNil()) {
    removeObjectForKey(key);
    return;
  }
  List evicted;
  std::lock_guard lock(mutex_);
  if (auto found = index_.find(key); found != index_.end()) {
    totalCost_ -= found->second->cost;
    evicted.splice(evicted.end(), entries_, found->second);
    index_.erase(found);
  }
  entries_.push_front(Entry{key, std::move(object), cost});
  index_.emplace(std::move(key), entries_.begin());
  totalCost_ += cost;
  trimLocked(evicted);
}

void Cache::removeObjectForKey(std::string_view key) {
  List evicted;
  std::lock_guard lock(mutex_);
  auto found = index_.find(key);
  if (found == index_.end()) return;
  totalCost_ -= found->second->cost;
  evicted.splice(evicted.end(), entries_, found->second);
  index_.erase(found);
}

void Cache::removeAllObjects() {
  List evicted;
  std::lock_guard lock(mutex_);
  evicted.swap(entries_);
  index_.clear();
  totalCost_ = 0;
}

std::size_t Cache::costLimitLocked() const {
  if (totalCostLimit_ == 0) return memoryBudget_;
  if (memoryBudget_ == 0) return totalCostLimit_;
  return std::min(totalCostLimit_, memoryBudget_);
}

void Cache::trimLocked(List& evicted) {
  std::size_t costLimit = costLimitLocked();
  while (!entries_.empty() &&
         ((countLimit_ && entries_.size() > countLimit_) || (costLimit && totalCost_ > costLimit))) {
    auto last = std::prev(entries_.end());
    totalCost_ -= last->cost;
    index_.erase(last->key);
    evicted.splice(evicted.end(), entries_, last);
  }
}

std::size_t Cache::countLimit() const {
  std::lock_guard lock(mutex_);
  return countLimit_;
}

void Cache::setCountLimit(std::size_t limit) {
  List evicted;
  std::lock_guard lock(mutex_);
  countLimit_ = limit;
  trimLocked(evicted);
}

std::size_t Cache::totalCostLimit() const {
  std::lock_guard lock(mutex_);
  return totalCostLimit_;
}

void Cache::setTotalCostLimit(std::size_t limit) {
  List evicted;
  std::lock_guard lock(mutex_);
  totalCostLimit_ = limit;
  trimLocked(evicted);
}

std::size_t Cache::memoryBudget() const {
  std::lock_guard lock(mutex_);
  return memoryBudget_;
}

void Cache::setMemoryBudget(std::size_t budget) {
  List evicted;
  std::lock_guard lock(mutex_);
  memoryBudget_ = budget;
  trimLocked(evicted);
}

std::string Cache::name() const {
  std::lock_guard lock(mutex_);
  return name_;
}

void Cache::setName(std::string name) {
  std::lock_guard lock(mutex_);
  name_ = std::move(name);
}

std::size_t Cache::count() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

std::size_t Cache::totalCost() const {
  std::lock_guard lock(mutex_);
  return totalCost_;
}

}  // namespace ns
