#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Foundation/URL.h"
#include "UIKit/Image.h"
#include "UIKit/ViewController.h"

namespace ui {

inline constexpr const char* kServiceTypeFacebook = "facebook";
inline constexpr const char* kServiceTypeTwitter = "twitter";

// The platform's share composer for a social service: an initial text, links and pictures the
// user then posts. Headless: it keeps what it was given. Whether the platform offers it at all
// can be switched, as older systems lack it.
class ComposeViewController : public ViewController {
 public:
  static bool isAvailable();
  static void setAvailable(bool available);
  static std::shared_ptr<ComposeViewController> composeViewControllerForServiceType(const std::string& type);

  const std::string& serviceType() const { return serviceType_; }
  const std::string& initialText() const { return initialText_; }
  bool setInitialText(std::string text);
  const std::vector<ns::URL>& urls() const { return urls_; }
  bool addURL(const std::optional<ns::URL>& url);
  const std::vector<std::shared_ptr<Image>>& images() const { return images_; }
  bool addImage(const std::shared_ptr<Image>& image);

  void appendDumpAttributes(std::string& line) const override;

 protected:
  std::string serviceType_;

 private:
  std::string initialText_;
  std::vector<ns::URL> urls_;
  std::vector<std::shared_ptr<Image>> images_;
};

// The older tweet composer, present where the general one is not.
class TweetComposeViewController final : public ComposeViewController {
 public:
  TweetComposeViewController() { serviceType_ = kServiceTypeTwitter; }
};

}  // namespace ui
