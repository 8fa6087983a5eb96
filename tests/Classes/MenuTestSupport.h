#pragma once

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Classes/Navigation/TLMenuView.h"
#include "Graphics/Context.h"
#include "UIKit/Image.h"
#include "support/TempDir.h"

namespace testsupport {

// A resources folder holding only the named pictures (small flat squares), read by imageNamed
// for the lifetime of the object.
class ResourceFolder {
 public:
  explicit ResourceFolder(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      auto ctx = cg::Context::makeBitmap({8, 8}, false, 1);
      ctx->setFillColor(cg::Color::rgba(0.2, 0.4, 0.6));
      ctx->fillRect({0, 0, 8, 8});
      ns::Data png = ctx->makeImage()->pngData();
      std::ofstream(dir_.file(name + ".png"), std::ios::binary)
          .write(reinterpret_cast<const char*>(png.bytes()), std::streamsize(png.length()));
    }
    ui::setResourceDirectoryOverride(dir_.str());
  }
  ~ResourceFolder() { ui::setResourceDirectoryOverride(""); }
  ResourceFolder(const ResourceFolder&) = delete;
  ResourceFolder& operator=(const ResourceFolder&) = delete;

 private:
  TempDir dir_;
};

// Writes the menu view's reports into a log: "select <row>", "search [<query>]", "willShow", ...
class MenuEvents : public TLMenuViewDelegate {
 public:
  std::vector<std::string> log;
  void TLMenuViewDidSelectMenuItem(TLMenuView&, int row) override {
    log.push_back("select " + std::to_string(row));
  }
  void TLMenuViewDidStartSearch(TLMenuView&, const std::string& query) override {
    log.push_back("search [" + query + "]");
  }
  void TLMenuViewWillShowMenu(TLMenuView&) override { log.push_back("willShow"); }
  void TLMenuViewDidShowMenu(TLMenuView&) override { log.push_back("didShow"); }
  void TLMenuViewWillHideMenu(TLMenuView&) override { log.push_back("willHide"); }
  void TLMenuViewDidHideMenu(TLMenuView&) override { log.push_back("didHide"); }
};

// A menu item.
inline ns::Value menuItem(const std::string& id, const std::string& title) {
  return ns::Dictionary{{"id", id}, {"title", title}};
}

}  // namespace testsupport
