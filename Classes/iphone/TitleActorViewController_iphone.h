#pragma once

#include "Classes/TitleActorViewController.h"

// The phone's person page: it requests the record whatever the item is, with the default cache policy.
class TitleActorViewController_iphone final : public TitleActorViewController {
 protected:
  bool requestsEveryItem() const override { return true; }
  ns::URLRequestCachePolicy requestCachePolicy() const override {
    return ns::URLRequestCachePolicy::UseProtocolCachePolicy;
  }
};
