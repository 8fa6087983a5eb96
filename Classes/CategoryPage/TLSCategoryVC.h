#pragma once

#include <memory>
#include <string>

#include "Classes/Navigation/ViewController+TLMenu.h"
#include "UIKit/ViewController.h"

// The category page. Its opener sets the category's title and then its id before pushing it;
// the page reads both when its view loads. Until its views are built it shows the title.
class TLSCategoryVC : public ui::ViewController, public TLMenuHooks {
 public:
  std::shared_ptr<TLSCategoryVC> init() { return initWithNibName("", nullptr); }
  std::shared_ptr<TLSCategoryVC> initWithNibName(const std::string& nibName,
                                                 const std::shared_ptr<ns::Bundle>& bundle);

  const std::string& categoryTitle() const { return categoryTitle_; }
  void setCategoryTitle(std::string title) { categoryTitle_ = std::move(title); }
  int categoryId() const { return categoryId_; }
  void setCategoryId(int categoryId) { categoryId_ = categoryId; }

  void viewDidLoad() override;

 private:
  std::string categoryTitle_;
  int categoryId_ = 0;
};
