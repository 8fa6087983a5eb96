#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/View.h"

namespace scenes {

// Points the VKontakte origin at a fake peer for one scope.
class PeerOrigin {
 public:
  explicit PeerOrigin(const std::string& origin);
  ~PeerOrigin();
  PeerOrigin(const PeerOrigin&) = delete;
  PeerOrigin& operator=(const PeerOrigin&) = delete;

 private:
  static constexpr const char* kName = "VCC_VK_ORIGIN";
  std::optional<std::string> saved_;
};

// The share sheets over a grey host page as their callers show them: the VKontakte sheet on the
// fake peer's login page (run in-process for the scene) and, logged in, its editor; the Facebook
// sheet's editor. The title's poster is the placeholder.
std::shared_ptr<ui::View> vkontakteLoginSheet();
std::shared_ptr<ui::View> vkontakteEditorSheet();
std::shared_ptr<ui::View> facebookEditorSheet();

}  // namespace scenes
