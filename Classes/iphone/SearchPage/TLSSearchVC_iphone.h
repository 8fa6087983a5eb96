#pragma once

#include "Classes/SearchPage/TLSSearchVC.h"

// The phone's search page.
class TLSSearchVC_iphone final : public TLSSearchVC {};
