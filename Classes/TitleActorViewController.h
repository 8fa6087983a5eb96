#pragma once

#include <memory>
#include <string>

#include "Classes/Navigation/ViewController+TLMenu.h"
#include "Foundation/URLRequest.h"
#include "Foundation/Value.h"
#include "UIKit/ViewController.h"

// The person page, opened with a PersonItem dictionary ("id", "title"). It keeps the item and
// requests the person record at once; until its views are built it shows the person's name and
// drops the reply.
class TitleActorViewController : public ui::ViewController, public TLMenuHooks {
 public:
  // The tablet sends the request only for a dictionary item.
  std::shared_ptr<TitleActorViewController> initWithItem(const ns::Value& item);
  const ns::Value& actorItem() const { return actorItem_; }

  void getActorInfoFromURL(const std::string& url);
  void viewDidLoad() override;

 protected:
  virtual bool requestsEveryItem() const { return false; }
  // The tablet asks past any cached copy.
  virtual ns::URLRequestCachePolicy requestCachePolicy() const {
    return ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData;
  }
  virtual void actorRecordReceived(const ns::Value&) {}

 private:
  ns::Value actorItem_;
};
