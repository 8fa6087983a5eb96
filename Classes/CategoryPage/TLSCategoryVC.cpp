#include "Classes/CategoryPage/TLSCategoryVC.h"

#include "Classes/PageShell.h"

std::shared_ptr<TLSCategoryVC> TLSCategoryVC::initWithNibName(const std::string& nibName,
                                                              const std::shared_ptr<ns::Bundle>& bundle) {
  ui::ViewController::initWithNibName(nibName, bundle);
  return self<TLSCategoryVC>();
}

void TLSCategoryVC::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  showPageTitle(view(), categoryTitle_);
}
