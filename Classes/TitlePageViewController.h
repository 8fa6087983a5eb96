#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Classes/Navigation/ViewController+TLMenu.h"
#include "Foundation/Error.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"
#include "UIKit/ViewController.h"

// The title page: one title of the catalogue (a film, a series root or an episode), opened with
// its TitleInfo dictionary. It keeps the dictionary, tells its series and sends its title record
// request at once; until its views are built it shows the title's name and drops the reply.
class TitlePageViewController : public ui::ViewController, public TLMenuHooks {
 public:
  // Keeps the TitleInfo and requests the title record from its "url".
  std::shared_ptr<TitlePageViewController> initWithTitleInfo(const ns::Value& titleInfo);

  // The record of the title shown now, and the one the page was opened with.
  const ns::Value& senderInfo() const { return senderInfo_; }
  const ns::Value& cacheSenderDictionary() const { return cacheSenderDictionary_; }
  const std::string& share_url_thisPage() const { return shareUrlThisPage_; }

  // An episode: the TitleInfo's "parent_id" is not empty.
  bool isItemIsEpisode() const;
  // The integer value of "parent_id" (0 for a film or a series root).
  int parentId() const;
  // The integer value of "id".
  int itemId() const;

  // Sends the title record request; a URL that cannot be made sends nothing.
  void postRequestToURL(const std::optional<ns::URL>& url);

  void viewDidLoad() override;

 protected:
  // The decoded reply, and the failure, on the main queue.
  virtual void titleRecordReceived(const ns::Value&) {}
  virtual void titleRequestFailed(const ns::ErrorPtr&) {}

 private:
  ns::Value senderInfo_;
  ns::Value cacheSenderDictionary_;
  std::string shareUrlThisPage_;
};
