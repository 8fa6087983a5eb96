#include "Classes/TitlePageViewController.h"

// The sections and strips below the header.

void TitlePageViewController::loadSeriesView(const std::optional<std::string>& /*url*/,
                                             const std::optional<std::string>& /*parentID*/) {}

void TitlePageViewController::loadAdvancedView() {}

void TitlePageViewController::loadRolesView() {}

void TitlePageViewController::loadSegmentedButton() {}

void TitlePageViewController::touchUpInsideSegmentIndex(unsigned /*segmentIndex*/) {}

void TitlePageViewController::rubricViewDidLoadWithScrollView(
    bool /*loaded*/, const std::shared_ptr<TLRubricScrollView>& /*row*/) {}

void TitlePageViewController::showSeriesSubview() {}

void TitlePageViewController::showRolesSubView() {}

void TitlePageViewController::showAlsoSubView() {}
