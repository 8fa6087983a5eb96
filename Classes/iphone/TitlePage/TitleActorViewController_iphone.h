#pragma once

#include "Classes/TitlePage/TitleActorViewController.h"

// The phone's person page: portrait only, no films strip, no reload button; it requests the
// record whatever the item is, with the default cache policy, and alerts on every failure.
class TitleActorViewController_iphone final : public TitleActorViewController {
 protected:
  bool isPhone() const override { return true; }
  ns::URLRequestCachePolicy requestCachePolicy() const override {
    return ns::URLRequestCachePolicy::UseProtocolCachePolicy;
  }
};
