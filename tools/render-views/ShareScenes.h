#pragma once

#include <memory>

#include "UIKit/View.h"

namespace scenes {

// The share sheets over a grey host page as their callers show them: the VKontakte sheet on the
// fake peer's login page (run in-process for the scene) and, logged in, its editor; the Facebook
// sheet's editor. The title's poster is the placeholder.
std::shared_ptr<ui::View> vkontakteLoginSheet();
std::shared_ptr<ui::View> vkontakteEditorSheet();
std::shared_ptr<ui::View> facebookEditorSheet();

}  // namespace scenes
