#include "Classes/iphone/TitlePageViewController_iphone.h"

// The phone's sections and the rows that cache its lists.

void TitlePageViewController_iphone::loadSeriesView(const std::optional<std::string>& /*url*/,
                                                    const std::optional<std::string>& /*parentID*/) {}

void TitlePageViewController_iphone::loadAdvancedView() {}

void TitlePageViewController_iphone::loadSegmentedButton() {}

void TitlePageViewController_iphone::touchUpInsideSegmentIndex(unsigned /*segmentIndex*/) {}

void TitlePageViewController_iphone::rubricViewDidLoadWithScrollView(
    bool /*loaded*/, const std::shared_ptr<TLRubricScrollView_iphone>& /*row*/) {}

void TitlePageViewController_iphone::changeButtonOffsetWithIndex(int /*index*/) {}
