#include "Classes/Navigation/ViewController+TLMenu.h"

namespace {
TLMenuHooks* hooksOf(ui::ViewController* page) { return dynamic_cast<TLMenuHooks*>(page); }
}  // namespace

void willShowTLNavigationMenu(ui::ViewController* page) {
  if (auto hooks = hooksOf(page)) hooks->willShowTLNavigationMenu();
}

void didShowTLNavigationMenu(ui::ViewController* page) {
  if (auto hooks = hooksOf(page)) hooks->didShowTLNavigationMenu();
}

void willHideTLNavigationMenu(ui::ViewController* page) {
  if (auto hooks = hooksOf(page)) hooks->willHideTLNavigationMenu();
}

void didHideTLNavigationMenu(ui::ViewController* page) {
  if (auto hooks = hooksOf(page)) hooks->didHideTLNavigationMenu();
}
