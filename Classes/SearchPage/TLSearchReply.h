#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Foundation/Error.h"
#include "Foundation/Value.h"

// The catalogue search: its reply read into the lists the pages show, and the sending of one
// search at a time, so that a reply overtaken by a newer search is not shown.
class TLSearchReply final {
 public:
  TLSearchReply() = delete;

  // What the pages keep of a reply: as many found titles as the search asks for, and as many
  // recommended ones as a row of tiles shows.
  static constexpr std::size_t kMaxFound = 50;
  static constexpr std::size_t kMaxRecommended = 100;

  // The category id heading a found title's row on the tablet, for the six categories it shows;
  // "" for any other category text.
  static std::string rowIdentifier(const std::string& category);

  // The tablet's groups, one per shown category in the order the categories first appear, each
  // holding its titles' tile records in reply order; then the recommended titles' records. Every
  // value of a record is text.
  struct Group {
    std::string category;
    ns::Array records;
  };
  struct Grouped {
    std::vector<Group> groups;
    ns::Array recommended;
  };
  // Both readers throw an ns::Exception for a reply that is not an object: it has no results to
  // show, not even "nothing found".
  static Grouped groupForTablet(const ns::Value& reply);

  // The phone's entries: every found title in reply order, and the recommended titles. Text
  // stays text, a number becomes its decimal text, anything else "".
  struct Flat {
    ns::Array found;
    ns::Array recommended;
  };
  static Flat listForPhone(const ns::Value& reply);

  // What both readers read of a reply, for taking it where the reply was decoded: the first
  // kMaxFound objects of items and the first kMaxRecommended of also[0].items; a reply that is no
  // object stays none. Reading it gives what reading the whole does.
  static ns::Value cutReply(const ns::Value& reply);
};

// Sends searches for one page. Only the latest search's reply or failure reaches its callbacks;
// one that arrives after a newer search was sent is dropped.
class TLLatestSearch final {
 public:
  void send(const std::string& query, std::function<void(const ns::Value& reply)> success,
            std::function<void(const ns::ErrorPtr& error)> failure);

 private:
  std::shared_ptr<unsigned> latest_ = std::make_shared<unsigned>(0);
};
