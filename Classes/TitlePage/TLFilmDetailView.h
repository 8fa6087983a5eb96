#pragma once

#include <memory>
#include <string>

#include "UIKit/Toolbar.h"
#include "UIKit/View.h"

// A plain white view with a toolbar whose menu button opens the navigation menu.
class TLFilmDetailView final : public ui::View {
 public:
  std::shared_ptr<TLFilmDetailView> initWithFrame(const cg::Rect& frame, const std::string& url);
  void createToolbarWithFrame(const cg::Rect& frame);
  void TLMainViewMenuClick();
  const std::shared_ptr<ui::Toolbar>& toolbar() const { return toolbar_; }

 private:
  std::shared_ptr<ui::Toolbar> toolbar_;
};
