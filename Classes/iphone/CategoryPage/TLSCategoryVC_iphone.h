#pragma once

#include "Classes/CategoryPage/TLSCategoryVC.h"

// The phone's category page.
class TLSCategoryVC_iphone final : public TLSCategoryVC {};
