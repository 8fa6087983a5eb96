#pragma once

#include "UIKit/ViewController.h"

// The hooks the menu navigation controller calls on the visible page around the menu's
// appearance. Pages take them by deriving from TLMenuHooks and override the ones they need;
// all are empty.
class TLMenuHooks {
 public:
  virtual ~TLMenuHooks() = default;
  virtual void willShowTLNavigationMenu() {}
  virtual void didShowTLNavigationMenu() {}
  virtual void willHideTLNavigationMenu() {}
  virtual void didHideTLNavigationMenu() {}
};

// The hook on a page; a controller without the hooks has nothing to do.
void willShowTLNavigationMenu(ui::ViewController* page);
void didShowTLNavigationMenu(ui::ViewController* page);
void willHideTLNavigationMenu(ui::ViewController* page);
void didHideTLNavigationMenu(ui::ViewController* page);
