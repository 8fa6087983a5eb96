#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/URL.h"
#include "UIKit/Image.h"
#include "UIKit/ViewController.h"

namespace ui {

class TextView;

// The platform's post composers: a form over the window showing the text, links and pictures to
// be posted, presented modally by the caller; the text can be edited. Stand-ins: nothing is
// posted; what was put in is kept for tests, and the form's buttons (or cancel and send) dismiss
// it. The form opens with its text holding the keyboard, the caret at the text's end.
class ComposeForm : public ViewController {
 public:
  void setInitialText(std::string text) { initialText_ = std::move(text); }
  void addURL(const ns::URL& url) { urls_.push_back(url); }
  void addImage(std::shared_ptr<Image> image) {
    if (image) images_.push_back(std::move(image));
  }
  // The pixels the form shows its picture at (a square of kImageSide points at the screen's scale):
  // the most a picture read for it need be decoded at.
  static constexpr double kImageSide = 88;
  static cg::PixelBox imageBox();
  const std::string& initialText() const { return initialText_; }
  // What the form's text holds now: the initial text as the user edited it.
  std::string text() const;
  const std::vector<ns::URL>& urls() const { return urls_; }
  const std::vector<std::shared_ptr<Image>>& images() const { return images_; }

  // The user's answers: the form goes away, having posted or not.
  void cancel();
  void send();
  bool wasSent() const { return sent_; }

  void loadView() override;
  void viewWillAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  void appendDumpAttributes(std::string& line) const override;
  // The card stands over the window dimmed by half.
  std::optional<Color> presentationDimmingColor() const override { return Color::colorWithWhite(0, 0.5); }

 protected:
  // The service named on the form.
  std::string serviceTitle_;

 private:
  std::string initialText_;
  std::weak_ptr<TextView> textView_;
  std::vector<ns::URL> urls_;
  std::vector<std::shared_ptr<Image>> images_;
  bool sent_ = false;
};

extern const char* const kServiceTypeFacebook;
extern const char* const kServiceTypeTwitter;

// The system's share composer of a social service, present only on later systems.
class ComposeViewController final : public ComposeForm {
 public:
  // Whether the class exists at run time: no unless a test says so.
  static bool isClassAvailable();
  static void setClassAvailable(bool available);
  // None for an unknown service.
  static std::shared_ptr<ComposeViewController> composeViewControllerForServiceType(const std::string& type);
  const std::string& serviceType() const { return serviceType_; }

 private:
  std::string serviceType_;
};

// The older system's tweet composer, always there.
class TweetComposeViewController final : public ComposeForm {
 public:
  std::shared_ptr<TweetComposeViewController> init();
};

}  // namespace ui
