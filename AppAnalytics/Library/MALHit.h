#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Foundation/Object.h"

// A stored hit: its text and the store's row id.
class MALHit final : public ns::Object {
 public:
  std::shared_ptr<MALHit> initWithHitString(std::string hitString, std::uint64_t hitId);

  const std::string& hitString() const { return hitString_; }
  std::uint64_t hitId() const { return hitId_; }

 private:
  std::string hitString_;
  std::uint64_t hitId_ = 0;
};

using MALHitPtr = std::shared_ptr<MALHit>;

// The campaign that brought the visitor: its formatted text, when it was first used (0: not yet),
// in which visit, and how many campaigns came before.
class MALReferrer final : public ns::Object {
 public:
  std::shared_ptr<MALReferrer> initWithReferrer(std::string referrer, int timestamp, int visit, int index);

  const std::string& referrer() const { return referrer_; }
  int timestamp() const { return timestamp_; }
  int visit() const { return visit_; }
  int index() const { return index_; }

 private:
  std::string referrer_;
  int timestamp_ = 0, visit_ = 0, index_ = 0;
};

using MALReferrerPtr = std::shared_ptr<MALReferrer>;
