#pragma once

#include <memory>
#include <string>

#include "Classes/Navigation/ViewController+TLMenu.h"
#include "Foundation/Value.h"
#include "UIKit/ViewController.h"

// The search page. Its opener sets the query (as the user typed it) before pushing it; the page
// sends the search when its view loads. Until its views are built it shows the query and drops
// the reply.
class TLSSearchVC : public ui::ViewController, public TLMenuHooks {
 public:
  std::shared_ptr<TLSSearchVC> init() {
    ui::ViewController::init();
    return self<TLSSearchVC>();
  }

  const std::string& query() const { return query_; }
  void setQuery(std::string query) { query_ = std::move(query); }

  void viewDidLoad() override;
  // Sends the search for the current query.
  void searchBegin();

 protected:
  virtual void searchReplyReceived(const ns::Value&) {}

 private:
  std::string query_;
};
