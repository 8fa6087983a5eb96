#pragma once

#include "Classes/TitlePageViewController.h"

// The phone's title page.
class TitlePageViewController_iphone final : public TitlePageViewController {};
